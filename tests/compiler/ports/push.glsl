// Push: the second input slides in from the right and pushes the first out
// to the left.
vec4 transition(vec2 uv) {
  vec2 p = uv + vec2(progress, 0.0);
  vec2 q = p - vec2(1.0, 0.0);
  return q.x >= 0.0 ? getToColor(q) : getFromColor(p);
}
