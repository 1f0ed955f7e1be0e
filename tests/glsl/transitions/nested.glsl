// Quadrants that change in turn, decided by nested branches; a bool uniform
// swaps the order.
uniform bool reverse; // = false
uniform float lag; // = 0.25

float quadrantDelay(vec2 uv) {
    if (uv.x < 0.5) {
        if (uv.y < 0.5)
            return 0.0;
        else
            return reverse ? 3.0 : 1.0;
    } else {
        if (uv.y < 0.5) {
            return reverse ? 1.0 : 3.0;
        } else {
            if (uv.x + uv.y > 1.5)
                return 2.5;
            return 2.0;
        }
    }
}

vec4 transition(vec2 uv) {
    float t = clamp((progress - quadrantDelay(uv) * lag * 0.25) / (1.0 - lag * 0.75), 0.0, 1.0);
    vec4 c;
    if (t <= 0.0) {
        c = getFromColor(uv);
    } else if (t >= 1.0) {
        c = getToColor(uv);
    } else {
        c = mix(getFromColor(uv), getToColor(uv), t * t * (3.0 - 2.0 * t));
        if (t > 0.4 && t < 0.6)
            c.rgb *= 0.9;
    }
    return c;
}
