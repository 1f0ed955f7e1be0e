// Cells that grow to the middle and shrink back: floor, ceil, an ivec2 uniform.
uniform ivec2 cells; // = ivec2(24, 18)

vec4 transition(vec2 uv) {
    float s = min(progress, 1.0 - progress) * 2.0;
    vec2 count = vec2(cells) / max(s * 6.0, 1.0);
    vec2 lo = floor(uv * count) / count;
    vec2 hi = ceil(uv * count) / count;
    vec2 p = s > 0.0 ? (lo + hi) * 0.5 : uv;
    return mix(getFromColor(p), getToColor(p), progress);
}
