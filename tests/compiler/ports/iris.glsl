// Iris: the second input opens in a growing circle from the centre, with a
// soft edge of 0.04.
vec4 transition(vec2 uv) {
  float r = length((uv - 0.5) * vec2(ratio, 1.0));
  float largest = 0.5 * sqrt(ratio * ratio + 1.0);
  float radius = progress * (largest + 0.12) - 0.04;
  return mix(getFromColor(uv), getToColor(uv), clamp((radius - r) * 25.0, 0.0, 1.0));
}
