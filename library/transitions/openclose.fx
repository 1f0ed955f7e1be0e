// Open and close: the second input opens from the middle outwards (open) or
// closes in from the edges (close), vertically or horizontally, through a soft
// edge. Matches FFmpeg xfade's vertopen, vertclose, horzopen and horzclose.

#include "../include/transition.fxh"

technique VertOpen
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
            // q = |x - h| / h, h = width / 2
            mul r3.y, c1.x, c20.y
            rcp r3.z, r3.y
            add r3.x, r2.x, -r3.y
            mul r3.x, r3.x, r3.z
            abs r3.x, r3.x
            // s = 2 - q - 2P
            add r3.x, c20.z, -r3.x
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

technique VertClose
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
            // q = |x - h| / h, h = width / 2
            mul r3.y, c1.x, c20.y
            rcp r3.z, r3.y
            add r3.x, r2.x, -r3.y
            mul r3.x, r3.x, r3.z
            abs r3.x, r3.x
            // s = 1 + q - 2P
            add r3.x, c20.x, r3.x
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

technique HorzOpen
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
            // q = |y - h| / h, h = height / 2
            mul r3.y, c1.y, c20.y
            rcp r3.z, r3.y
            add r3.x, r2.y, -r3.y
            mul r3.x, r3.x, r3.z
            abs r3.x, r3.x
            // s = 2 - q - 2P
            add r3.x, c20.z, -r3.x
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

technique HorzClose
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
            // q = |y - h| / h, h = height / 2
            mul r3.y, c1.y, c20.y
            rcp r3.z, r3.y
            add r3.x, r2.y, -r3.y
            mul r3.x, r3.x, r3.z
            abs r3.x, r3.x
            // s = 1 + q - 2P
            add r3.x, c20.x, r3.x
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
