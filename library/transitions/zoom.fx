// Zoom in, drawn as FFmpeg's xfade draws it: the first input grows from
// its centre while the second fades in. xfade's progress P runs from 1 to 0
// (P = 1 - Time). At the pixel (x, y), x = floor(t0.x W) and
// y = floor(t0.y H), A is read at
// (ceil((0.5 + (x / W - 0.5) z) (W - 1)), ceil((0.5 + (y / H - 0.5) z) (H - 1)))
// with the zoom z = smoothstep(0.5, 1, P), and B weighs
// 1 - smoothstep(0, 0.5, P). xfade truncates its result to 8 bits:
// floor(255 v + guard) / 255 here.

#include "../include/transition.fxh"

technique ZoomIn
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        PixelShaderConstantF[1] = <Size>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            // c2: one, a half, two, zero
            def c2, 1.0, 0.5, 2.0, 0.0
            // c3: 3 and -2 for the smoothstep
            def c3, 3.0, -2.0, 0.0, 0.0
            // c4: 255, 1 / 255, the truncation guard 1 / 1024
            def c4, 255.0, 0.00392156863, 0.0009765625, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            // P = 1 - Time
            add r4.x, c2.x, -c0.x
            // u1 = (P - 0.5) / 0.5 and u2 = P / 0.5, clamped to 0..1
            mad_sat r4.y, r4.x, c2.z, -c2.x
            mul_sat r4.z, r4.x, c2.z
            // smoothstep: z = u1 u1 (3 - 2 u1), s = u2 u2 (3 - 2 u2)
            mad r5.yz, r4, c3.y, c3.x
            mul r6.yz, r4, r4
            mul r5.yz, r5, r6
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // (u, v) = (x / W, y / H), zoomed about the centre by z
            rcp r3.x, c1.x
            rcp r3.y, c1.y
            mul r7.xy, r2, r3
            add r7.xy, r7, -c2.y
            mad r7.xy, r7, r5.y, c2.y
            // A's pixel (ceil(u (W - 1)), ceil(v (H - 1))), read at its centre
            add r8.xy, c1, -c2.x
            mul r7.xy, r7, r8
            frc r9.xy, -r7
            add r7.xy, r7, r9
            add r7.xy, r7, c2.y
            mul r7.xy, r7, r3
            mov r7.zw, c2.w
            texld r10, r7, s0
            texld r1, t0, s1
            // v = A' s + B (1 - s), truncated to 8 bits
            lrp r11, r5.z, r10, r1
            mad r11, r11, c4.x, c4.z
            frc r9, r11
            add r11, r11, -r9
            mul r11, r11, c4.y
            mov r11.w, c2.x
            mov oC0, r11
        };
    }
}
