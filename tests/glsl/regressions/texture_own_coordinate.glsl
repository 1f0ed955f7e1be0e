// A texture of the author's read at the pixel's own coordinate: the format
// filters it linearly like any other, but the compiler samples it by
// points, which is only the same for a texture of the output's own size.
uniform sampler2D pattern;

vec4 transition(vec2 uv) {
    return mix(getFromColor(uv), getToColor(uv), texture2D(pattern, uv).r);
}
