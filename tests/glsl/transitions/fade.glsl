// A plain cross-fade, eased by an exponent: mix and pow.
uniform float ease; // = 1.5

vec4 transition(vec2 uv) {
    return mix(getFromColor(uv), getToColor(uv), pow(progress, ease));
}
