// Arc-shaped fronts: asin, acos and tan over their safe ranges.
uniform float bend; // = 0.8

vec4 transition(vec2 uv) {
    float x = clamp(uv.x * 2.0 - 1.0, -0.999, 0.999);
    float y = clamp(uv.y * 2.0 - 1.0, -0.999, 0.999);
    float a = asin(x) / 1.5707963;      // -1..1
    float b = acos(y) / 3.14159265;     // 0..1
    float front = 0.5 + 0.25 * a + 0.25 * (1.0 - b) + bend * 0.1 * tan(x * 0.7);
    float m = smoothstep(front - 0.1, front + 0.1, progress * 1.4 - 0.2);
    return mix(getFromColor(uv), getToColor(uv), m);
}
