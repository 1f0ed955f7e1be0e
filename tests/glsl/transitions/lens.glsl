// A lens sweeps across and leaves the second picture: refraction-like
// dependent reads with normalize and distance, a vec2 uniform path.
uniform vec2 from_point; // = vec2(-0.2, 0.3)
uniform vec2 to_point; // = vec2(1.2, 0.7)
uniform float size; // = 0.35

vec4 transition(vec2 uv) {
    vec2 c = mix(from_point, to_point, progress);
    vec2 p = (uv - c) * vec2(ratio, 1.0);
    float d = length(p);
    vec2 n = d > 1e-4 ? normalize(p) : vec2(0.0);
    float inside = 1.0 - smoothstep(size * 0.9, size, d);
    vec2 bent = uv - n * inside * (size - d) * 0.3 / vec2(ratio, 1.0);
    float passed = smoothstep(-0.05, 0.05, dot(uv - c, normalize(to_point - from_point)));
    vec4 base = mix(getToColor(uv), getFromColor(uv), passed);
    vec4 lensed = mix(getFromColor(bent), getToColor(bent), progress);
    return mix(base, lensed, inside);
}
