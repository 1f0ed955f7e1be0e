// Refraction through a field of sixteen waves, read at the pixel and at
// four neighbours for its slope: five calls of a function too long to copy
// five times in ps_3_0's 512 slots, so it runs as a subroutine.
uniform float strength; // = 0.04

float field(vec2 p) {
    float s = 0.0;
    s += sin(p.x * 7.1 + p.y * 2.3 + progress * 4.0) * 0.035;
    s += cos(p.x * 3.7 + p.y * -5.9 + progress * -3.0) * 0.035;
    s += sin(p.x * -6.3 + p.y * 4.1 + progress * 2.0) * 0.035;
    s += cos(p.x * 9.2 + p.y * 1.7 + progress * -5.0) * 0.035;
    s += sin(p.x * -2.9 + p.y * -8.3 + progress * 3.5) * 0.035;
    s += cos(p.x * 5.5 + p.y * 6.6 + progress * -2.5) * 0.035;
    s += sin(p.x * -8.8 + p.y * 3.1 + progress * 1.5) * 0.035;
    s += cos(p.x * 4.4 + p.y * -7.7 + progress * -4.5) * 0.035;
    s += sin(p.x * 11.3 + p.y * 2.9 + progress * 2.5) * 0.035;
    s += cos(p.x * -3.3 + p.y * 10.1 + progress * -1.0) * 0.035;
    s += sin(p.x * 6.9 + p.y * -4.2 + progress * 5.0) * 0.035;
    s += cos(p.x * -10.4 + p.y * -1.9 + progress * -3.5) * 0.035;
    s += sin(p.x * 2.2 + p.y * 9.4 + progress * 4.5) * 0.035;
    s += cos(p.x * -7.4 + p.y * 5.8 + progress * -2.0) * 0.035;
    s += sin(p.x * 8.6 + p.y * -3.6 + progress * 1.0) * 0.035;
    s += cos(p.x * -4.8 + p.y * -6.1 + progress * -5.5) * 0.035;
    return s;
}

vec4 transition(vec2 uv) {
    float e = 0.01;
    vec2 slope = vec2(field(uv + vec2(e, 0.0)) - field(uv - vec2(e, 0.0)),
                      field(uv + vec2(0.0, e)) - field(uv - vec2(0.0, e))) / (2.0 * e);
    float h = field(uv);
    vec4 a = getFromColor(uv + slope * strength * progress);
    vec4 b = getToColor(uv - slope * strength * (1.0 - progress));
    return mix(a, b, smoothstep(0.0, 1.0, progress * 1.4 - 0.2 + h * 0.3));
}
