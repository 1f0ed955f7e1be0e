// A swirl that winds up and unwinds: atan, a rotation matrix, dependent reads.
uniform float turns; // = 1.2
uniform float radius; // = 0.6

vec2 rotate(vec2 p, float a) {
    mat2 m = mat2(cos(a), sin(a), -sin(a), cos(a));
    return m * p;
}

vec4 transition(vec2 uv) {
    vec2 p = uv - 0.5;
    float r = length(p);
    float strength = progress * (1.0 - progress) * 4.0;
    float falloff = clamp(1.0 - r / radius, 0.0, 1.0);
    float a = turns * 6.2831853 * strength * falloff * falloff;
    vec2 q = clamp(rotate(p, a) + 0.5, 0.0, 1.0);
    // The angle around the centre tints the seam a little, as a check on atan.
    float angle = atan(p.y, p.x);
    float shade = 1.0 - 0.15 * strength * (0.5 + 0.5 * cos(angle * 3.0));
    vec4 c = mix(getFromColor(q), getToColor(q), smoothstep(0.3, 0.7, progress));
    return vec4(c.rgb * shade, c.a);
}
