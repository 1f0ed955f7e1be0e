// Zoom in while turning, then out on the second picture: functions calling
// functions, cos/sin of a growing angle, clamp.
uniform float maxTurn; // = 1.5707963
uniform float maxZoom; // = 2.5

vec2 spin(vec2 p, float a) {
    float c = cos(a), s = sin(a);
    return vec2(c * p.x - s * p.y, s * p.x + c * p.y);
}

vec2 frameAt(vec2 uv, float t) {
    vec2 p = (uv - 0.5) * vec2(ratio, 1.0);
    p = spin(p, maxTurn * t) / mix(1.0, maxZoom, t);
    return clamp(p / vec2(ratio, 1.0) + 0.5, 0.0, 1.0);
}

vec4 transition(vec2 uv) {
    float t = smoothstep(0.0, 1.0, progress);
    vec4 a = getFromColor(frameAt(uv, t));
    vec4 b = getToColor(frameAt(uv, 1.0 - t));
    return mix(a, b, t);
}
