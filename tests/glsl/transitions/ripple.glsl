// Rings travelling out from the centre bend the reads: sin, cos, dependent
// reads.
uniform float amplitude; // = 0.03
uniform float frequency; // = 18.0
uniform float speed; // = 4.0

vec4 transition(vec2 uv) {
    vec2 p = uv - 0.5;
    float r = length(p);
    float wave = sin(r * frequency - progress * speed) * amplitude * progress * (1.0 - progress) * 4.0;
    vec2 dir = p / max(r, 1e-3);
    vec2 offset = dir * wave + vec2(cos(uv.y * 9.0), sin(uv.x * 7.0)) * wave * 0.5;
    return mix(getFromColor(uv + offset), getToColor(uv - offset), progress);
}
