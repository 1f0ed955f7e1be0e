// Slices: ten bands of the picture each flip to the second input from one
// side, the flips sweeping across from the side named (hl: left, hr: right,
// vu: top, vd: bottom). Matches FFmpeg xfade's hlslice, hrslice, vuslice and
// vdslice.

#include "../include/transition.fxh"

technique HlSlice
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
            // c24: -1.5, 10, a snap below the smallest step 1 / size, 0
            def c24, -1.5, 10.0, 0.0001, 0.0
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
            // v = x / w - 1.5 P
            rcp r3.y, c1.x
            mul r3.x, r2.x, r3.y
            mad r3.x, r2.z, c24.x, r3.x
            // e = smoothstep(-1/2, 0, v): t = saturate(2v + 1), e = t * t * (3 - 2t)
            mad_sat r3.x, r3.x, c20.z, c20.x
            mad r3.z, r3.x, c21.x, c21.y
            mul r3.w, r3.x, r3.x
            mul r3.x, r3.w, r3.z
            // f = fract(10 x / w), exactly 0 where that is a whole number
            mul r4.x, r2.x, c24.y
            mul r4.x, r4.x, r3.y
            add r4.x, r4.x, c24.z
            frc r4.x, r4.x
            add r4.x, r4.x, -c24.z
            max r4.x, r4.x, c24.w
            // the first input where e <= f, else the second
            add r4.x, r4.x, -r3.x
            cmp r4, r4.x, r0, r1
            mov oC0, r4
        };
    }
}

technique HrSlice
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
            // c24: -1.5, 10, a snap below the smallest step 1 / size, 0
            def c24, -1.5, 10.0, 0.0001, 0.0
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
            // n = w - 1 - x: count from the right edge
            add r2.x, c1.x, -r2.x
            add r2.x, r2.x, -c20.x
            // v = n / w - 1.5 P
            rcp r3.y, c1.x
            mul r3.x, r2.x, r3.y
            mad r3.x, r2.z, c24.x, r3.x
            // e = smoothstep(-1/2, 0, v): t = saturate(2v + 1), e = t * t * (3 - 2t)
            mad_sat r3.x, r3.x, c20.z, c20.x
            mad r3.z, r3.x, c21.x, c21.y
            mul r3.w, r3.x, r3.x
            mul r3.x, r3.w, r3.z
            // f = fract(10 n / w), exactly 0 where that is a whole number
            mul r4.x, r2.x, c24.y
            mul r4.x, r4.x, r3.y
            add r4.x, r4.x, c24.z
            frc r4.x, r4.x
            add r4.x, r4.x, -c24.z
            max r4.x, r4.x, c24.w
            // the first input where e <= f, else the second
            add r4.x, r4.x, -r3.x
            cmp r4, r4.x, r0, r1
            mov oC0, r4
        };
    }
}

technique VuSlice
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
            // c24: -1.5, 10, a snap below the smallest step 1 / size, 0
            def c24, -1.5, 10.0, 0.0001, 0.0
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
            // v = y / h - 1.5 P
            rcp r3.y, c1.y
            mul r3.x, r2.y, r3.y
            mad r3.x, r2.z, c24.x, r3.x
            // e = smoothstep(-1/2, 0, v): t = saturate(2v + 1), e = t * t * (3 - 2t)
            mad_sat r3.x, r3.x, c20.z, c20.x
            mad r3.z, r3.x, c21.x, c21.y
            mul r3.w, r3.x, r3.x
            mul r3.x, r3.w, r3.z
            // f = fract(10 y / h), exactly 0 where that is a whole number
            mul r4.x, r2.y, c24.y
            mul r4.x, r4.x, r3.y
            add r4.x, r4.x, c24.z
            frc r4.x, r4.x
            add r4.x, r4.x, -c24.z
            max r4.x, r4.x, c24.w
            // the first input where e <= f, else the second
            add r4.x, r4.x, -r3.x
            cmp r4, r4.x, r0, r1
            mov oC0, r4
        };
    }
}

technique VdSlice
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
            // c24: -1.5, 10, a snap below the smallest step 1 / size, 0
            def c24, -1.5, 10.0, 0.0001, 0.0
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
            // n = h - 1 - y: count from the bottom edge
            add r2.y, c1.y, -r2.y
            add r2.y, r2.y, -c20.x
            // v = n / h - 1.5 P
            rcp r3.y, c1.y
            mul r3.x, r2.y, r3.y
            mad r3.x, r2.z, c24.x, r3.x
            // e = smoothstep(-1/2, 0, v): t = saturate(2v + 1), e = t * t * (3 - 2t)
            mad_sat r3.x, r3.x, c20.z, c20.x
            mad r3.z, r3.x, c21.x, c21.y
            mul r3.w, r3.x, r3.x
            mul r3.x, r3.w, r3.z
            // f = fract(10 n / h), exactly 0 where that is a whole number
            mul r4.x, r2.y, c24.y
            mul r4.x, r4.x, r3.y
            add r4.x, r4.x, c24.z
            frc r4.x, r4.x
            add r4.x, r4.x, -c24.z
            max r4.x, r4.x, c24.w
            // the first input where e <= f, else the second
            add r4.x, r4.x, -r3.x
            cmp r4, r4.x, r0, r1
            mov oC0, r4
        };
    }
}
