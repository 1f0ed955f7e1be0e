// The first picture carried off by an affine map: a mat3 uniform, mat2
// built in code, matrix times vector.
uniform mat3 warp; // = mat3(1.0, 0.1, 0.0, -0.1, 1.0, 0.0, 0.05, 0.0, 1.0)
uniform mat2 shear; // = mat2(1.0, 0.0, 0.3, 1.0)

vec4 transition(vec2 uv) {
    vec3 h = vec3(uv - 0.5, 1.0);
    for (int i = 0; i < 2; i++)
        h = warp * h;
    vec2 p = shear * (h.xy / h.z);
    vec2 q = mix(uv - 0.5, p, progress) * (1.0 + progress) + 0.5;
    vec4 a = getFromColor(clamp(q, 0.0, 1.0));
    float inside = step(0.0, q.x) * step(q.x, 1.0) * step(0.0, q.y) * step(q.y, 1.0);
    return mix(getToColor(uv), a, inside * (1.0 - progress));
}
