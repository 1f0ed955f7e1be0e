// Reduced from a public transition: a default followed by a semicolon and a
// remark in the same comment is rejected instead of read as 0.3.
uniform float a; // = 0.3; // and a remark after the value

vec4 transition(vec2 uv) {
    return mix(getFromColor(uv), getToColor(uv), a + (1.0 - a) * progress);
}
