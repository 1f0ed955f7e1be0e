// Distance: pixels where the two inputs differ least change first, as a hard
// cut, while the whole picture fades to the second input. Matches FFmpeg
// xfade's distance.

#include "../include/transition.fxh"

technique Distance
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
            // c20, c21: 1, 1/2, 2, 255; -2, 3, 1/255, 0
            def c20, 1.0, 0.5, 2.0, 255.0
            def c21, -2.0, 3.0, 0.00392156863, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // (x, y) = floor(t0 * size): t0 is the pixel centre
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time, xfade's progress (saturated, so that a compiler cannot
            // fold 1 - Time into later sums and round differently)
            add_sat r2.z, c20.x, -c0.x
            // e = squared colour distance of the two inputs (r, g, b on 0..1)
            add r3.xyz, r0, -r1
            dp3 r3.x, r3, r3
            // cut: the first input where sqrt(e) <= P, else the second
            mul r3.y, r2.z, r2.z
            add r3.x, r3.y, -r3.x
            cmp r6, r3.x, r0, r1
            // Time 0 gives the first input whole (xfade's own first frame cuts where sqrt(e) > 1)
            cmp r6, -c0.x, r0, r6
            // fade: cut * P + second * (1 - P)
            mov r0, r1
            mov r1, r6
            mov r3.z, r2.z
            add r3.w, c20.x, -r2.z
            // the inputs as exact integers 0..255
            mad r0, r0, c20.w, c20.y
            frc r4, r0
            add r0, r0, -r4
            mad r1, r1, c20.w, c20.y
            frc r4, r1
            add r1, r1, -r4
            // second * m + first * (1 - m), truncated to an integer as xfade stores it
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
