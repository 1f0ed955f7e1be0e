// A wipe along any direction with a soft edge: normalize, dot, smoothstep.
uniform vec2 direction; // = vec2(1.0, 0.4)
uniform float softness; // = 0.2

vec4 transition(vec2 uv) {
    vec2 d = normalize(direction);
    // Project the centred uv onto the direction, into 0..1 across the frame.
    float span = abs(d.x) * 0.5 + abs(d.y) * 0.5;
    float along = dot(uv - 0.5, d) / (2.0 * span) + 0.5;
    float edge = progress * (1.0 + 2.0 * softness) - softness;
    float m = smoothstep(edge - softness, edge + softness, along);
    return mix(getToColor(uv), getFromColor(uv), m);
}
