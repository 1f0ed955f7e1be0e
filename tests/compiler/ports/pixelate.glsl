// Pixelate: the picture breaks into blocks of up to 32 pixels and resolves
// again into the second input. pixel is the size of one output pixel.
uniform vec2 pixel; // = vec2(0.0015625, 0.0027777778)
vec4 transition(vec2 uv) {
  float block = 1.0 + 124.0 * progress * (1.0 - progress);
  vec2 cell = block * pixel;
  vec2 p = (floor(uv / cell) + 0.5) * cell;
  return mix(getFromColor(p), getToColor(p), progress);
}
