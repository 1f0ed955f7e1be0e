// search.fx as a GL transition. The effect's texture coordinates run down
// the picture.
vec4 transition(vec2 uv) {
    vec2 t = vec2(uv.x, 1.0 - uv.y);
    vec2 toCentre = normalize(vec2(0.5) - t + 0.0001) * 0.012;
    float threshold = 0.6 - 0.5 * progress;
    vec3 sum = vec3(0.0);
    float count = 0.0;
    for (int i = 0; i < 10; i++) {
        vec2 p = t + toCentre * float(i);
        vec3 c = getFromColor(vec2(p.x, 1.0 - p.y)).rgb;
        sum += c;
        count += 1.0;
        if (dot(c, vec3(0.299, 0.587, 0.114)) < threshold)
            break;
    }
    return vec4(sum / count, 1.0);
}
