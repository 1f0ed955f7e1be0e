// Reduced from a public blur: 72 reads in a 6 x 6 loop with two running sums
// need far fewer than 32 temporaries, but the compiled shader asks for more.
vec4 transition(vec2 uv) {
    vec4 c1 = vec4(0.0);
    vec4 c2 = vec4(0.0);
    float d = 0.1 * (0.5 - distance(0.5, progress));
    for (int xi = 0; xi < 6; xi++)
        for (int yi = 0; yi < 6; yi++) {
            vec2 v = vec2(float(xi), float(yi)) / float(6) - 0.5;
            c1 += getFromColor(uv + d * v);
            c2 += getToColor(uv + d * v);
        }
    return mix(c1, c2, progress) / float(6 * 6);
}
