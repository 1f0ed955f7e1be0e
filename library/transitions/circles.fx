// Circles around the centre pixel. CircleCrop: the first input shrinks to a
// point inside a black circle, the second grows out of it. CircleOpen: the
// second input opens in a growing soft-edged circle. CircleClose: the second
// input closes in from the corners. Matches FFmpeg xfade's circlecrop,
// circleopen and circleclose.

#include "../include/transition.fxh"

technique CircleCrop
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
            // c24: black, opaque
            def c24, 0.0, 0.0, 0.0, 1.0
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
            // (cx, cy) = (floor(w / 2), floor(h / 2)), the centre pixel
            mul r6.xy, c1, c20.y
            frc r7.xy, r6
            add r6.xy, r6, -r7
            // d = distance of the pixel from the centre
            add r7.xy, r2, -r6
            mul r7.z, r7.x, r7.x
            mul r7.w, r7.y, r7.y
            add r7.z, r7.z, r7.w
            rsq r7.z, r7.z
            rcp r7.z, r7.z
            // z = distance of a corner pixel from the centre: hypot(cx, cy)
            mul r6.z, r6.x, r6.x
            mul r6.w, r6.y, r6.y
            add r6.z, r6.z, r6.w
            rsq r6.z, r6.z
            rcp r6.z, r6.z
            // radius = (2 |P - 1/2|)^3 z
            add r3.w, r2.z, -c20.y
            abs r3.x, r3.w
            mul r3.x, r3.x, c20.z
            mul r3.y, r3.x, r3.x
            mul r3.y, r3.y, r3.x
            mul r3.y, r3.y, r6.z
            // the first input while P >= 1/2, then the second
            cmp r4, r3.w, r0, r1
            // black outside the radius
            add r3.x, r3.y, -r7.z
            cmp r4, r3.x, r4, c24
            mov oC0, r4
        };
    }
}

technique CircleOpen
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
            // (cx, cy) = (floor(w / 2), floor(h / 2)), the centre pixel
            mul r6.xy, c1, c20.y
            frc r7.xy, r6
            add r6.xy, r6, -r7
            // d = distance of the pixel from the centre
            add r7.xy, r2, -r6
            mul r7.z, r7.x, r7.x
            mul r7.w, r7.y, r7.y
            add r7.z, r7.z, r7.w
            rsq r7.z, r7.z
            rcp r7.z, r7.z
            // z = distance of a corner pixel from the centre: hypot(cx, cy)
            mul r6.z, r6.x, r6.x
            mul r6.w, r6.y, r6.y
            add r6.z, r6.z, r6.w
            rsq r6.z, r6.z
            rcp r6.z, r6.z
            // s = d / z + 3 (P - 1/2)
            rcp r6.z, r6.z
            add r3.w, r2.z, -c20.y
            mul r3.w, r3.w, c21.y
            mad r3.x, r7.z, r6.z, r3.w
            // this one blends the other way round: the first input takes m
            mov r4, r0
            mov r0, r1
            mov r1, r4
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

technique CircleClose
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
            // (cx, cy) = (floor(w / 2), floor(h / 2)), the centre pixel
            mul r6.xy, c1, c20.y
            frc r7.xy, r6
            add r6.xy, r6, -r7
            // d = distance of the pixel from the centre
            add r7.xy, r2, -r6
            mul r7.z, r7.x, r7.x
            mul r7.w, r7.y, r7.y
            add r7.z, r7.z, r7.w
            rsq r7.z, r7.z
            rcp r7.z, r7.z
            // z = distance of a corner pixel from the centre: hypot(cx, cy)
            mul r6.z, r6.x, r6.x
            mul r6.w, r6.y, r6.y
            add r6.z, r6.z, r6.w
            rsq r6.z, r6.z
            rcp r6.z, r6.z
            // s = d / z + 3 (1 - P - 1/2)
            rcp r6.z, r6.z
            add r3.w, c20.x, -r2.z
            add r3.w, r3.w, -c20.y
            mul r3.w, r3.w, c21.y
            mad r3.x, r7.z, r6.z, r3.w
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
