// Grid cells open in a diagonal order: int arithmetic, ivec3 and bvec2.
uniform ivec3 grid; // = ivec3(6, 4, 2)
uniform bvec2 flip; // = bvec2(true, false)

vec4 transition(vec2 uv) {
    vec2 q = vec2(flip.x ? 1.0 - uv.x : uv.x, flip.y ? 1.0 - uv.y : uv.y);
    // Offset so that no cell edge falls exactly on a pixel centre.
    int cx = int(floor(q.x * float(grid.x) + 0.013));
    int cy = int(floor(q.y * float(grid.y) + 0.013));
    int order = cx + cy * grid.z;
    int last = (grid.x - 1) + (grid.y - 1) * grid.z;
    float delay = float(order) / float(last + 1);
    float t = clamp((progress - delay * 0.5) * 2.0, 0.0, 1.0);
    return mix(getFromColor(uv), getToColor(uv), t);
}
