// Bands that wave in: sin/cos of moderate arguments, fract, floor, a
// helper returning a struct-free pair through out parameters.
uniform float bands; // = 5.0
uniform float wobble; // = 0.08

void band(vec2 uv, out float index, out float phase) {
    float y = uv.y * bands + sin(uv.x * 6.2831853) * wobble * bands;
    index = floor(y);
    phase = fract(y);
}

vec4 transition(vec2 uv) {
    float index, phase;
    band(uv, index, phase);
    float delay = index / bands * 0.5;
    float t = clamp((progress - delay) * 2.0, 0.0, 1.0);
    float shimmer = 0.05 * cos(phase * 6.2831853) * t * (1.0 - t);
    return mix(getFromColor(uv), getToColor(uv), t) + shimmer;
}
