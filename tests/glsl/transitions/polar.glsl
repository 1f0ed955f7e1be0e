// A clock sweep from any start angle: atan with two arguments, degrees,
// radians, sign, mod.
uniform float start; // = 90.0
uniform bool clockwise; // = true

vec4 transition(vec2 uv) {
    vec2 p = (uv - 0.5) * vec2(ratio, 1.0);
    float deg = degrees(atan(p.y, p.x)) - start;
    float dir = clockwise ? -1.0 : 1.0;
    float swept = mod(dir * deg + 720.0, 360.0) / 360.0;
    float s = sign(p.x) * sign(p.y);
    float wedge = radians(2.0) * (1.0 + 0.5 * s);
    float m = smoothstep(swept - wedge, swept + wedge, progress * (1.0 + 2.0 * radians(3.0)) - radians(3.0));
    return mix(getFromColor(uv), getToColor(uv), m);
}
