// A directional blur peaking in the middle: a loop of dependent reads
// through a function.
uniform float spread; // = 0.04
uniform vec2 along; // = vec2(0.8, 0.6)

vec4 both(vec2 p, float t) {
    return mix(getFromColor(p), getToColor(p), t);
}

vec4 transition(vec2 uv) {
    float s = spread * sin(3.14159265 * progress);
    vec4 sum = vec4(0.0);
    float total = 0.0;
    for (int i = -4; i <= 4; i++) {
        float w = 1.0 - abs(float(i)) / 5.0;
        sum += both(uv + along * s * float(i) / 4.0, progress) * w;
        total += w;
    }
    return sum / total;
}
