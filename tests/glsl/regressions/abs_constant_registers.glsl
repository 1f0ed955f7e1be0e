// Reduced by the differential run from generated seed 2035: the compiled
// shader takes the absolute value of some constant registers of one
// instruction and not of the others, which ps_3_0 forbids (X5104), so the
// compiler refuses its own output with an internal error.

vec4 transition(vec2 uv) {
    float v2 = cos(log(abs(progress) + 0.5));
    float v3 = 0.500;
    float v4 = 0.500;
    v3 += clamp(inversesqrt(abs(mod(exp(clamp(progress, -3.0, 1.5)), 0.980)) + 0.25), -1.0, 1.0);
    return vec4(clamp(mix(getFromColor(clamp(uv + 0.05 * sin(uv), 0.0, 1.0)).rgb, getToColor(uv).rgb, clamp(progress + 0.2 * v2, 0.0, 1.0)) + vec3(0.1 * v2, 0.1 * v3, 0.05 * (v2 - v3)), 0.0, 1.0), 1.0);
}
