// Reduced: a bool uniform. The SPIR-V optimiser's validation rejects a bool
// in the uniform storage class, so the file does not compile.
uniform bool swap; // = true

vec4 transition(vec2 uv) {
    return mix(getFromColor(uv), getToColor(uv), swap ? 1.0 - progress : progress);
}
