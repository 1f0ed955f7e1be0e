// Directional wipe with a soft edge a tenth of the picture wide. direction
// points the way the edge travels, y downwards as the host gives it; keep
// |x| + |y| = 1.
uniform vec2 direction; // = vec2(1.0, 0.0)
vec4 transition(vec2 uv) {
  float d = dot(vec2(uv.x - 0.5, 0.5 - uv.y), direction) + 0.5;
  float m = clamp((progress * 1.3 - 0.1 - d) * 10.0, 0.0, 1.0);
  return mix(getFromColor(uv), getToColor(uv), m);
}
