// Dissolve through a noise texture: where the noise is darker, the second
// input shows first.
uniform sampler2D noise;
vec4 transition(vec2 uv) {
  float n = texture2D(noise, uv).r;
  float m = clamp((progress * 1.1 - 0.05 - n) * 20.0, 0.0, 1.0);
  return mix(getFromColor(uv), getToColor(uv), m);
}
