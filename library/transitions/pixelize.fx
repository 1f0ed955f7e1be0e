// Pixelize: the first input breaks into ever larger squares, which cross-fade
// to the second input and shrink back into its pixels; each square shows the
// inputs at its centre pixel. Matches FFmpeg xfade's pixelize. Where a
// square's edge or centre falls exactly on a pixel, xfade's float rounding
// decides, so the square's side and the division by it are rounded here as
// xfade rounds them; that takes more than ps_2_0's 64 instructions, hence
// ps_3_0 (with a pass-through vs_3_0).

#include "../include/transition.fxh"

technique Pixelize
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        PixelShaderConstantF[1] = <Size>;
        // the rounding constants as values, not literals, so that a shader
        // compiler cannot fold the exact remainders away
        PixelShaderConstantF[24] = float4(50.0, 0.04, 0.2, 16.0);
        PixelShaderConstantF[25] = float4(8.0, 4.0, 0.25, -16777216.0);
        // ps_3_0 needs a vs_3_0: the grid's position and texture coordinate
        // pass through
        VertexShader = asm
        {
            vs_3_0
            dcl_position v0
            dcl_texcoord v1
            dcl_position o0
            dcl_texcoord o1
            mov o0, v0
            mov o1, v1
        };
        PixelShader = asm
        {
            ps_3_0
            // c20, c21: 1, 1/2, 2, 255; -2, 3, 1/255, 0; c22: -11, -24
            def c20, 1.0, 0.5, 2.0, 255.0
            def c21, -2.0, 3.0, 0.00392156863, 0.0
            def c22, -11.0, -24.0, 0.0, 0.0
            // c24, c25 come from the pass: 50, 1/25, 1/5, 16; 8, 4, 1/4, -2^24
            dcl_texcoord0 v0.xy
            dcl_2d s0
            dcl_2d s1
            // (x, y) = floor(t0 * size): t0 is the pixel centre
            mul r2.xy, v0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time, xfade's progress, and 1 - P rounded as xfade rounds it
            // (saturated, so that a compiler cannot fold 1 - (1 - Time) into Time)
            add_sat r2.z, c20.x, -c0.x
            add r2.w, c20.x, -r2.z
            // j = ceil(50 min(P, 1 - P)), the step of the square's size
            min r3.x, r2.z, r2.w
            mul r3.x, r3.x, c24.x
            frc r3.y, -r3.x
            add r3.x, r3.x, r3.y
            // q = j / 25 rounded as a division: product with 1/25, then the exact
            // remainder j - 25q (in parts 16q, 8q, q, each subtraction exact) corrects
            // it. Shader compilers simplify sums such as (a + b) - a to b, which would
            // drop the remainder; a max with a far lower bound (c25.w) after each step
            // hides the terms from them.
            mul r4.x, r3.x, c24.y
            max r4.x, r4.x, c25.w
            mad r4.y, r4.x, -c24.w, r3.x
            max r4.y, r4.y, c25.w
            mad r4.y, r4.x, -c25.x, r4.y
            max r4.y, r4.y, c25.w
            add r4.y, r4.y, -r4.x
            max r4.y, r4.y, c25.w
            mad r4.x, r4.y, c24.y, r4.x
            // side = 2 (j / 50) min(w, h) / 20 = (q min(w, h) / 4) / 5, the division as above
            min r3.z, c1.x, c1.y
            mul r4.x, r4.x, r3.z
            mul r4.x, r4.x, c25.z
            max r4.x, r4.x, c25.w
            mul r4.z, r4.x, c24.z
            max r4.z, r4.z, c25.w
            mad r4.w, r4.z, -c25.y, r4.x
            max r4.w, r4.w, c25.w
            add r4.w, r4.w, -r4.z
            max r4.w, r4.w, c25.w
            mad r4.z, r4.w, c24.z, r4.z
            max r4.z, r4.z, c25.w
            // n = the whole number nearest to (x, y) / side
            rcp r4.w, r4.z
            mul r5.xy, r2, r4.w
            add r5.xy, r5, c20.y
            frc r6.xy, r5
            add r5.xy, r5, -r6
            // xfade's rounded quotient is below n when n side - x > h side, h half the
            // float spacing just below n. n side - x exactly: the side in a high part
            // of 12 bits (sh) and the rest (sl), so that n sh and n sl are exact
            log r8.x, r4.z
            frc r8.y, r8.x
            add r8.x, r8.x, -r8.y
            add r8.x, r8.x, c22.x
            exp r8.x, r8.x
            rcp r8.y, r8.x
            mul r8.z, r4.z, r8.y
            frc r8.w, r8.z
            add r8.z, r8.z, -r8.w
            mul r8.z, r8.z, r8.x
            max r8.z, r8.z, c25.w
            add r8.w, r4.z, -r8.z
            max r8.w, r8.w, c25.w
            mad r6.xy, r5, r8.z, -r2
            max r6.xy, r6, c25.w
            mul r7.xy, r5, r8.w
            max r7.xy, r7, c25.w
            add r6.xy, r6, r7
            max r6.xy, r6, c25.w
            // h side, h = 2^(floor(log2(n - 1/2)) - 24)
            add r7.xy, r5, -c20.y
            max r7.xy, r7, c20.y
            log r7.x, r7.x
            log r7.y, r7.y
            frc r9.xy, r7
            add r7.xy, r7, -r9
            add r7.xy, r7, c22.y
            exp r7.x, r7.x
            exp r7.y, r7.y
            mul r7.xy, r7, r4.z
            // k = n where n side - x <= h side, else n - 1
            add r7.xy, r7, -r6
            add r9.xy, r5, -c20.x
            cmp r5.xy, r7, r5, r9
            // the square's centre pixel floor((k + 1/2) side), at most the last pixel;
            // the pixel itself when j = 0
            add r5.xy, r5, c20.y
            max r5.xy, r5, c25.w
            mul r5.xy, r5, r4.z
            frc r6.xy, r5
            add r5.xy, r5, -r6
            add r6.xy, c1, -c20.x
            min r5.xy, r5, r6
            cmp r5.xy, -r3.x, r2, r5
            // sample both inputs at that pixel's centre
            add r5.xy, r5, c20.y
            rcp r6.x, c1.x
            rcp r6.y, c1.y
            mul r5.xy, r5, r6
            texld r0, r5, s0
            texld r1, r5, s1
            // first * P + second * (1 - P)
            mov r3.z, r2.w
            mov r3.w, r2.z
            // the inputs as exact integers 0..255
            mad r0, r0, c20.w, c20.y
            frc r4, r0
            add r0, r0, -r4
            mad r1, r1, c20.w, c20.y
            frc r4, r1
            add r1, r1, -r4
            // second * (1 - P) + first * P, truncated to an integer as xfade stores it
            mul r4, r1, r3.z
            mul r5, r0, r3.w
            add r4, r4, r5
            frc r5, r4
            add r4, r4, -r5
            mul r4, r4, c21.z
            mov oC0, r4
        };
    }
}
