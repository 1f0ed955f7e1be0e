// An over-exposed flash: exp, exp2, log, sqrt, inversesqrt.
uniform float strength; // = 3.0

vec4 transition(vec2 uv) {
    float flash = exp(-pow((progress - 0.5) * 5.0, 2.0)) * strength;
    vec4 c = mix(getFromColor(uv), getToColor(uv), smoothstep(0.35, 0.65, progress));
    vec3 lit = 1.0 - exp2(-c.rgb * (1.0 + flash));
    vec3 curve = log(1.0 + lit * 1.718281828);
    float r = sqrt(dot(uv - 0.5, uv - 0.5) + 0.01) * inversesqrt(0.51);
    return vec4(mix(c.rgb, curve, flash / (strength + 1e-3) * (1.0 - r * 0.5)), 1.0);
}
