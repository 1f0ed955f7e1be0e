// A dissolve through a texture of the author's: a sampler2D uniform read
// at the pixel's own uv.
uniform sampler2D pattern;
uniform float edge; // = 0.1

vec4 transition(vec2 uv) {
    float n = texture2D(pattern, uv).r;
    float m = smoothstep(n - edge, n + edge, progress * (1.0 + 2.0 * edge) - edge);
    return mix(getFromColor(uv), getToColor(uv), m);
}
