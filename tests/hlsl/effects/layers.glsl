// layers.fx in one shader: the first input over the second by the ramp's
// alpha, then the light added. The effect's texture coordinates run down
// the picture.
vec4 transition(vec2 uv) {
    vec2 t = vec2(uv.x, 1.0 - uv.y);
    float ramp = clamp((t.x + t.y) * 0.5 + 1.0 - 2.0 * progress, 0.0, 1.0);
    vec3 c = mix(getToColor(uv).rgb, getFromColor(uv).rgb, ramp);
    return vec4(c + vec3(0.08, 0.05, 0.0) * (1.0 - t.y), 1.0);
}
