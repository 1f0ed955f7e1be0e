// Channels rotate through each other: swizzles, write masks, dot, cross,
// vec4 arithmetic.
vec4 transition(vec2 uv) {
    vec4 a = getFromColor(uv);
    vec4 b = getToColor(uv.yx * 0.2 + uv * 0.8);
    float t = progress;
    vec3 turned = mix(a.rgb, a.gbr, t);
    turned.xz = mix(turned.xz, b.zx, t * t);
    vec3 c = cross(normalize(vec3(uv, 1.0)), vec3(0.0, 0.0, 1.0));
    float lift = dot(c, c) * (1.0 - t) * t;
    vec4 result = vec4(turned, 1.0);
    result.rgb = mix(result.rgb, b.rgb, t) + lift * 0.2;
    return result;
}
