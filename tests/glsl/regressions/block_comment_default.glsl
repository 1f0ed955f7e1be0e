// Reduced from public transitions: the default written in a block comment
// before the semicolon, as some of the format's own files do, is not read,
// so the parameter starts at zero.
uniform float amount /* = 0.6 */;

vec4 transition(vec2 uv) {
    return mix(getFromColor(uv), getToColor(uv), amount * progress + (1.0 - amount) * 0.5);
}
