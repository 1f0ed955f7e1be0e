// Through a colour wash and out: vec3 and vec4 uniforms, pow, clamp.
uniform vec3 wash; // = vec3(0.9, 0.5, 0.2)
uniform vec4 weights; // = vec4(0.3, 0.59, 0.11, 1.0)
uniform float gamma; // = 2.2

vec4 transition(vec2 uv) {
    vec4 a = getFromColor(uv);
    vec4 b = getToColor(uv);
    float t = smoothstep(0.0, 1.0, progress);
    vec4 c = mix(a, b, t);
    float grey = dot(c.rgb, weights.rgb) * weights.a;
    vec3 toned = pow(clamp(vec3(grey) * wash, 0.0, 1.0), vec3(1.0 / gamma));
    float amount = sin(3.14159265 * progress);
    return vec4(mix(c.rgb, toned, amount * 0.8), c.a);
}
