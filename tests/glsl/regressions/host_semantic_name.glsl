// Reduced from a public transition: a uniform named like one of the host's
// own semantics (PixelSize, matched without regard to case) receives the
// host's value, 1 / width, instead of its default.
uniform float pixelSize; // = 50.0

vec4 transition(vec2 uv) {
    return mix(getFromColor(uv), getToColor(uv), clamp(pixelSize / 100.0, 0.0, 1.0));
}
