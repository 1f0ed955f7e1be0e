// Venetian blinds: mod, fract, step, an int uniform.
uniform int count; // = 7
uniform float skew; // = 0.3

vec4 transition(vec2 uv) {
    float n = float(count);
    float band = mod(uv.y * n + uv.x * skew, 1.0);
    float cell = fract(uv.y * n);
    float open = smoothstep(band - 0.08, band + 0.08, progress) * step(0.0, cell);
    return mix(getFromColor(uv), getToColor(uv), open);
}
