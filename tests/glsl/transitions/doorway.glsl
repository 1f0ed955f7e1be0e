// Two doors swing open on the second picture: perspective-like division,
// a dependent read, and a shadow.
uniform float depth; // = 0.4

vec4 transition(vec2 uv) {
    float side = uv.x < 0.5 ? 0.0 : 1.0;
    float edgeX = mix(0.5, side, progress);
    float width = abs(edgeX - side);
    float local = width > 1e-4 ? clamp((uv.x - side) / (edgeX - side), 0.0, 2.0) : 2.0;
    vec4 bg = getToColor(uv);
    if (local > 1.0)
        return bg * (0.6 + 0.4 * progress);
    float sy = (uv.y - 0.5) / (1.0 - depth * progress * local) + 0.5;
    vec2 src = vec2(mix(side, 0.5, local), sy);
    vec4 door = getFromColor(src);
    float inside = step(0.0, sy) * step(sy, 1.0);
    return mix(bg * (0.6 + 0.4 * progress), door, inside);
}
