// A checkerboard where alternate squares go first: floor, mod, abs, min,
// max, clamp.
uniform float squares; // = 8.0

vec4 transition(vec2 uv) {
    // Offset so that no cell edge falls exactly on a pixel centre.
    vec2 grid = uv * vec2(squares * ratio, squares) + 0.013;
    vec2 cell = floor(grid);
    float odd = mod(cell.x + cell.y, 2.0);
    float delay = odd * 0.4;
    float t = clamp((progress - delay) / 0.6, 0.0, 1.0);
    vec2 local = fract(grid) - 0.5;
    float box = max(abs(local.x), abs(local.y));
    float m = min(1.0, max(0.0, (t * 0.7 - box + 0.1) * 10.0));
    return mix(getFromColor(uv), getToColor(uv), max(m, step(1.0, t)));
}
