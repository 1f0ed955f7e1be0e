// included.fx as one GL transition.
vec4 transition(vec2 uv) {
    vec4 c = getFromColor(uv);
    float luma = dot(c.rgb, vec3(0.299, 0.587, 0.114));
    vec3 lift = vec3(0.0, 0.02, 0.1) * (1.0 - progress);
    return vec4(mix(vec3(luma), c.rgb, progress) + lift, c.a);
}
