// Dissolve, xfade's way: each pixel cuts from the first input to the second
// at its own moment, n = fract(sin(12.9898 x + 78.233 y) * 43758.545) (the
// first input while n + P >= 1). The noise is that hash, worked out as xfade
// works it out in 32-bit floats: the sine's argument is reduced by pi/2 in
// three parts so that a large argument keeps its digits. Matches FFmpeg
// xfade's dissolve.

#include "../include/transition.fxh"

technique Dissolve
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        PixelShaderConstantF[1] = <Size>;
        // the hash's constants as values, not literals, so that a shader
        // compiler keeps every rounding step: 12.9898, 78.233, 2 / pi, 1/2;
        // pi / 2 in three parts, 43758.545; the sine's and the cosine's series
        PixelShaderConstantF[24] = float4(12.9898, 78.233, 0.636619772, 0.5);
        PixelShaderConstantF[25] = float4(1.5625, 0.00830078125, -0.000004454454938240815, 43758.545);
        PixelShaderConstantF[26] = float4(-0.16666666666666666, 0.008333333333333333, -0.0001984126984126984, 0.0000027557319223985893);
        PixelShaderConstantF[27] = float4(-0.5, 0.041666666666666664, -0.001388888888888889, 0.0000248015873015873);
        PixelShaderConstantF[28] = float4(-0.0000002755731922398589, 0.25, 1.0, 0.0);
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
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
            add_sat r2.z, c28.z, -c0.x
            // a = 12.9898 x + 78.233 y, each product rounded on its own (the max keeps a
            // compiler from fusing one into a multiply-add)
            mul r3.xy, r2, c24
            max r3.xy, r3, c28.w
            add r3.x, r3.x, r3.y
            // k = round(a * 2 / pi)
            mad r4.x, r3.x, c24.z, c24.w
            frc r4.y, r4.x
            add r4.x, r4.x, -r4.y
            // r = a - k pi / 2 with pi / 2 in three parts, the first two short enough
            // that their products with k are exact
            mad r3.x, r4.x, -c25.x, r3.x
            mad r3.x, r4.x, -c25.y, r3.x
            mad r3.x, r4.x, -c25.z, r3.x
            mul r3.y, r3.x, r3.x
            // sin r and cos r on [-pi / 4, pi / 4]
            mad r5.x, r3.y, c26.w, c26.z
            mad r5.x, r5.x, r3.y, c26.y
            mad r5.x, r5.x, r3.y, c26.x
            mul r5.x, r5.x, r3.y
            mad r5.x, r5.x, r3.x, r3.x
            mad r5.y, r3.y, c28.x, c27.w
            mad r5.y, r5.y, r3.y, c27.z
            mad r5.y, r5.y, r3.y, c27.y
            mad r5.y, r5.y, r3.y, c27.x
            mad r5.y, r5.y, r3.y, c28.z
            // sin a by the quadrant k mod 4: sin r, cos r, -sin r, -cos r
            mul r4.y, r4.x, c28.y
            frc r4.y, r4.y
            add r4.y, r4.y, -c24.w
            mul r4.z, r4.x, c24.w
            frc r4.z, r4.z
            add r4.z, r4.z, -c24.w
            cmp r5.z, r4.z, r5.y, r5.x
            cmp r5.z, r4.y, -r5.z, r5.z
            // n = fract(sin a * 43758.545)
            mul r5.z, r5.z, c25.w
            frc r5.z, r5.z
            // the first input where n + P >= 1, else the second
            add r5.z, r5.z, r2.z
            add r5.z, r5.z, -c28.z
            cmp r4, r5.z, r0, r1
            mov oC0, r4
        };
    }
}
