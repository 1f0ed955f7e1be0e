// Regression: a zoom blur of 96 taps that stops early where the samples get
// dark. Unrolled it is far over ps_3_0's 512 slots, so it runs as a rep
// block, the break a flag carried round the loop.
uniform float strength; // = 0.3

vec4 transition(vec2 uv) {
  vec2 c = vec2(0.5);
  vec4 acc = vec4(0.0);
  float total = 0.0;
  for (int i = 0; i < 96; i++) {
    float t = float(i) / 96.0;
    vec2 p = c + (uv - c) * (1.0 - strength * progress * t);
    vec4 s = mix(getFromColor(p), getToColor(p), progress);
    float w = 1.0 - t;
    acc += s * w;
    total += w;
    if (s.r + s.g + s.b < 0.05 * float(i)) break;
  }
  return acc / total;
}
