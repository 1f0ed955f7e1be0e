// shifted.fx per pixel: its vertex shader is affine in the texture
// coordinates, so the same map applies to every pixel. The effect's texture
// coordinates run down the picture; mirrored addressing folds them back.
vec2 mirrored(vec2 t) {
    vec2 m = mod(t, 2.0);
    return mix(m, 2.0 - m, step(1.0, m));
}

vec4 transition(vec2 uv) {
    vec2 t = vec2(uv.x, 1.0 - uv.y);
    t = (t - 0.5) * vec2(0.6, 0.75) + 0.5 + vec2(0.3, -0.2) * progress;
    t = mirrored(t);
    return getFromColor(vec2(t.x, 1.0 - t.y));
}
