// Fade through a colour: the first input fades to color, which then fades
// to the second.
uniform vec4 color; // = vec4(0.0, 0.0, 0.0, 1.0)
vec4 transition(vec2 uv) {
  vec4 a = mix(getFromColor(uv), color, clamp(progress * 2.0, 0.0, 1.0));
  return mix(a, getToColor(uv), clamp(progress * 2.0 - 1.0, 0.0, 1.0));
}
