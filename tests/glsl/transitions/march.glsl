// Steps along a ray until it leaves a shape, with break: a loop whose count
// depends on the data.
uniform int steps; // = 12

vec4 transition(vec2 uv) {
    vec2 p = uv;
    vec2 stepv = (vec2(0.5) - uv) * 0.05;
    float hits = 0.0;
    for (int i = 0; i < 16; i++) {
        if (i >= steps)
            break;
        float lum = dot(getFromColor(p).rgb, vec3(0.333));
        if (lum > progress * 1.2)
            hits += 1.0;
        else
            break;
        p += stepv;
    }
    float m = smoothstep(0.0, 1.0, progress * 1.5 - hits / float(steps) * 0.5);
    return mix(getFromColor(uv), getToColor(uv), m);
}
