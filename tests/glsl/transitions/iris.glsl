// A circle that opens from a centre, round in any aspect: ratio, distance,
// length, smoothstep.
uniform vec2 center; // = vec2(0.4, 0.6)
uniform float feather; // = 0.05

vec4 transition(vec2 uv) {
    vec2 aspect = vec2(ratio, 1.0);
    float d = distance(uv * aspect, center * aspect);
    float far = length(max(center, 1.0 - center) * aspect);
    float r = progress * (far + feather);
    return mix(getToColor(uv), getFromColor(uv), smoothstep(r - feather, r, d));
}
