// Diagonals: the second input sweeps in through a soft edge shaped by the
// product of the distances from one corner: it arrives first in the opposite
// corner and last along the two edges that meet at the named one. Matches
// FFmpeg xfade's diagtl, diagtr, diagbl and diagbr.

#include "../include/transition.fxh"

technique DiagTL
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
            // s = 1 + x / w * y / h - 2P, in xfade's order of operations
            rcp r3.y, c1.x
            rcp r3.z, c1.y
            mul r3.x, r2.x, r3.y
            mul r3.x, r3.x, r2.y
            mul r3.x, r3.x, r3.z
            add r3.x, r3.x, c20.x
            mad r3.x, r2.z, c21.x, r3.x
            // m = t * t * (3 - 2t), t = saturate(s)
            mov_sat r3.x, r3.x
            mad r3.y, r3.x, c21.x, c21.y
            mul r3.z, r3.x, r3.x
            mul r3.z, r3.z, r3.y
            add r3.w, c20.x, -r3.z
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

technique DiagTR
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
            // count from the right and top edges: (w - 1 - x, h - 1 - y) where mirrored
            add r4.xy, c1, -c20.x
            add r4.xy, r4, -r2
            mov r2.x, r4.x
            // s = 1 + x / w * y / h - 2P, in xfade's order of operations
            rcp r3.y, c1.x
            rcp r3.z, c1.y
            mul r3.x, r2.x, r3.y
            mul r3.x, r3.x, r2.y
            mul r3.x, r3.x, r3.z
            add r3.x, r3.x, c20.x
            mad r3.x, r2.z, c21.x, r3.x
            // m = t * t * (3 - 2t), t = saturate(s)
            mov_sat r3.x, r3.x
            mad r3.y, r3.x, c21.x, c21.y
            mul r3.z, r3.x, r3.x
            mul r3.z, r3.z, r3.y
            add r3.w, c20.x, -r3.z
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

technique DiagBL
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
            // count from the left and bottom edges: (w - 1 - x, h - 1 - y) where mirrored
            add r4.xy, c1, -c20.x
            add r4.xy, r4, -r2

            mov r2.y, r4.y
            // s = 1 + x / w * y / h - 2P, in xfade's order of operations
            rcp r3.y, c1.x
            rcp r3.z, c1.y
            mul r3.x, r2.x, r3.y
            mul r3.x, r3.x, r2.y
            mul r3.x, r3.x, r3.z
            add r3.x, r3.x, c20.x
            mad r3.x, r2.z, c21.x, r3.x
            // m = t * t * (3 - 2t), t = saturate(s)
            mov_sat r3.x, r3.x
            mad r3.y, r3.x, c21.x, c21.y
            mul r3.z, r3.x, r3.x
            mul r3.z, r3.z, r3.y
            add r3.w, c20.x, -r3.z
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

technique DiagBR
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
            // count from the right and bottom edges: (w - 1 - x, h - 1 - y) where mirrored
            add r4.xy, c1, -c20.x
            add r4.xy, r4, -r2
            mov r2.x, r4.x
            mov r2.y, r4.y
            // s = 1 + x / w * y / h - 2P, in xfade's order of operations
            rcp r3.y, c1.x
            rcp r3.z, c1.y
            mul r3.x, r2.x, r3.y
            mul r3.x, r3.x, r2.y
            mul r3.x, r3.x, r3.z
            add r3.x, r3.x, c20.x
            mad r3.x, r2.z, c21.x, r3.x
            // m = t * t * (3 - 2t), t = saturate(s)
            mov_sat r3.x, r3.x
            mad r3.y, r3.x, c21.x, c21.y
            mul r3.z, r3.x, r3.x
            mul r3.z, r3.z, r3.y
            add r3.w, c20.x, -r3.z
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
