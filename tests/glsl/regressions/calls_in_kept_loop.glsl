// A loop too long to unroll whose body calls a function twelve times: with
// the loop kept it is still over 512 slots, so the function is a subroutine
// called inside the rep block (which Wine's Direct3D draws right; a
// subroutine holding a loop of its own would share its caller's loop
// counter there, so subroutines hold none).
float glow(vec2 p, float k) {
    vec2 c = vec2(0.5 + 0.35 * sin(k * 0.7), 0.5 + 0.35 * cos(k * 1.3));
    vec2 q = p - c;
    return 0.002 / (dot(q, q) + 0.01) + sin(k + p.x * 3.0) * cos(k - p.y * 2.0) * 0.01;
}

vec4 transition(vec2 uv) {
    float s = 0.0;
    for (int i = 0; i < 40; i++) {
        float k = float(i) * 0.21 + progress * 2.0;
        s += (glow(uv * 1.0 + 0.0, k + 0.0) +
             glow(uv * 1.07 + 0.03, k + 1.0) +
             glow(uv * 1.1400000000000001 + 0.06, k + 2.0) +
             glow(uv * 1.21 + 0.09, k + 3.0) +
             glow(uv * 1.28 + 0.12, k + 4.0) +
             glow(uv * 1.35 + 0.15, k + 5.0) +
             glow(uv * 1.42 + 0.18, k + 6.0) +
             glow(uv * 1.49 + 0.21, k + 7.0) +
             glow(uv * 1.56 + 0.24, k + 8.0) +
             glow(uv * 1.6300000000000001 + 0.27, k + 9.0) +
             glow(uv * 1.7000000000000002 + 0.3, k + 10.0) +
             glow(uv * 1.77 + 0.33, k + 11.0)) * 0.002;
    }
    float t = clamp(progress * 1.6 - 0.3 + s * 0.05, 0.0, 1.0);
    return mix(getFromColor(uv), getToColor(uv), t) + vec4(s * 0.02 * progress * (1.0 - progress));
}
