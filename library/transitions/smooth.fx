// Smooth wipes, drawn as FFmpeg's xfade draws them: a soft edge one picture
// wide crosses the picture. xfade's progress P runs from 1 to 0
// (P = 1 - Time); at the pixel (x, y), x = floor(t0.x W) counted from the
// left and y = floor(t0.y H) from the top, B weighs
// s = smoothstep(0, 1, 1 + d - 2 P) with d the pixel's distance from the
// side the edge leaves (x / W for SmoothLeft, (W - 1 - x) / W for
// SmoothRight, y / H, (H - 1 - y) / H). xfade truncates its result to
// 8 bits: floor(255 v + guard) / 255 here, the guard keeping exact integers
// from falling one short.

#include "../include/transition.fxh"

// The soft edge moves to the left.
technique SmoothLeft
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
            // c2: one, two, then 3 and -2 for the smoothstep
            def c2, 1.0, 2.0, 3.0, -2.0
            // c4: 255, 1 / 255, the truncation guard 1 / 1024
            def c4, 255.0, 0.00392156863, 0.0009765625, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time
            add r4.x, c2.x, -c0.x
            // d = x / W
            rcp r3.x, c1.x
            mul r5.x, r2.x, r3.x
            // u = 1 + d - 2 P, clamped to 0..1
            add r5.x, r5.x, c2.x
            mad_sat r5.x, r4.x, -c2.y, r5.x
            // s = u u (3 - 2 u)
            mad r6.x, r5.x, c2.w, c2.z
            mul r7.x, r5.x, r5.x
            mul r6.x, r6.x, r7.x
            // v = B s + A (1 - s), truncated to 8 bits
            lrp r8, r6.x, r1, r0
            mad r8, r8, c4.x, c4.z
            frc r9, r8
            add r8, r8, -r9
            mul r8, r8, c4.y
            mov r8.w, c2.x
            mov oC0, r8
        };
    }
}

// The soft edge moves to the right.
technique SmoothRight
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
            // c2: one, two, then 3 and -2 for the smoothstep
            def c2, 1.0, 2.0, 3.0, -2.0
            // c4: 255, 1 / 255, the truncation guard 1 / 1024
            def c4, 255.0, 0.00392156863, 0.0009765625, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time
            add r4.x, c2.x, -c0.x
            // d = (W - 1 - x) / W
            add r5.x, c1.x, -c2.x
            add r5.x, r5.x, -r2.x
            rcp r3.x, c1.x
            mul r5.x, r5.x, r3.x
            // u = 1 + d - 2 P, clamped to 0..1
            add r5.x, r5.x, c2.x
            mad_sat r5.x, r4.x, -c2.y, r5.x
            // s = u u (3 - 2 u)
            mad r6.x, r5.x, c2.w, c2.z
            mul r7.x, r5.x, r5.x
            mul r6.x, r6.x, r7.x
            // v = B s + A (1 - s), truncated to 8 bits
            lrp r8, r6.x, r1, r0
            mad r8, r8, c4.x, c4.z
            frc r9, r8
            add r8, r8, -r9
            mul r8, r8, c4.y
            mov r8.w, c2.x
            mov oC0, r8
        };
    }
}

// The soft edge moves up.
technique SmoothUp
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
            // c2: one, two, then 3 and -2 for the smoothstep
            def c2, 1.0, 2.0, 3.0, -2.0
            // c4: 255, 1 / 255, the truncation guard 1 / 1024
            def c4, 255.0, 0.00392156863, 0.0009765625, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time
            add r4.x, c2.x, -c0.x
            // d = y / H
            rcp r3.x, c1.y
            mul r5.x, r2.y, r3.x
            // u = 1 + d - 2 P, clamped to 0..1
            add r5.x, r5.x, c2.x
            mad_sat r5.x, r4.x, -c2.y, r5.x
            // s = u u (3 - 2 u)
            mad r6.x, r5.x, c2.w, c2.z
            mul r7.x, r5.x, r5.x
            mul r6.x, r6.x, r7.x
            // v = B s + A (1 - s), truncated to 8 bits
            lrp r8, r6.x, r1, r0
            mad r8, r8, c4.x, c4.z
            frc r9, r8
            add r8, r8, -r9
            mul r8, r8, c4.y
            mov r8.w, c2.x
            mov oC0, r8
        };
    }
}

// The soft edge moves down.
technique SmoothDown
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
            // c2: one, two, then 3 and -2 for the smoothstep
            def c2, 1.0, 2.0, 3.0, -2.0
            // c4: 255, 1 / 255, the truncation guard 1 / 1024
            def c4, 255.0, 0.00392156863, 0.0009765625, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time
            add r4.x, c2.x, -c0.x
            // d = (H - 1 - y) / H
            add r5.x, c1.y, -c2.x
            add r5.x, r5.x, -r2.y
            rcp r3.x, c1.y
            mul r5.x, r5.x, r3.x
            // u = 1 + d - 2 P, clamped to 0..1
            add r5.x, r5.x, c2.x
            mad_sat r5.x, r4.x, -c2.y, r5.x
            // s = u u (3 - 2 u)
            mad r6.x, r5.x, c2.w, c2.z
            mul r7.x, r5.x, r5.x
            mul r6.x, r6.x, r7.x
            // v = B s + A (1 - s), truncated to 8 bits
            lrp r8, r6.x, r1, r0
            mad r8, r8, c4.x, c4.z
            frc r9, r8
            add r8, r8, -r9
            mul r8, r8, c4.y
            mov r8.w, c2.x
            mov oC0, r8
        };
    }
}
