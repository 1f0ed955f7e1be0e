// Swell: the first input bulges, shrinks into the centre and uncovers the
// second. Where the hand-written file moves a grid, this follows each pixel
// back to the point of the first input that lands on it.
vec4 transition(vec2 uv) {
  float s = 1.0 - progress;
  vec2 p = uv * 2.0 - 1.0;
  float x = p.x / s;
  float y = p.y / s - 0.5 * progress * s * (1.0 - x * x);
  if (progress >= 1.0 || abs(x) > 1.0 || abs(y) > 1.0)
    return getToColor(uv);
  return getFromColor(vec2(x, y) * 0.5 + 0.5);
}
