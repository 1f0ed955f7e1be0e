// Reduced from a generated program: a loop of constant bound whose break
// depends on the pixel. It cannot be unrolled; ps_3_0 has loop and break.
vec4 transition(vec2 uv) {
    float n = 0.0;
    for (int i = 0; i < 4; i++) {
        if (uv.x < progress)
            break;
        n += 0.25;
    }
    return mix(getFromColor(uv), getToColor(uv), n * progress);
}
