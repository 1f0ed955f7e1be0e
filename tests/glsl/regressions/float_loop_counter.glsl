// Reduced from public transitions (blurs that count with a float): a loop
// whose counter is a float with constant bounds is not unrolled.
vec4 transition(vec2 uv) {
    vec4 sum = vec4(0.0);
    for (float t = 0.0; t <= 4.0; t++)
        sum += getFromColor(uv + vec2(t * 0.01, 0.0));
    return mix(sum / 5.0, getToColor(uv), progress);
}
