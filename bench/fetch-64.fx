// Texel fetches alone: each pixel reads 64 texels of each input at their
// centres through the point samplers, in straight-line code, and writes
// their mean. Kept only so scripts/bench.sh can measure how many point
// fetches a second the device manages when a shader does nothing else,
// beside hblur's own rate of fetches.

#include "../library/include/transition.fxh"

technique Fetch64
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[1] = <Size>;
        VertexShader = asm
        {
            vs_3_0
            dcl_position v0
            dcl_texcoord0 v1
            dcl_position o0
            dcl_texcoord0 o1
            mov o0, v0
            mov o1, v1
        };
        PixelShader = asm
        {
            ps_3_0
            // c2: 1 / 128, zero, one
            def c2, 0.0078125, 0.0, 1.0, 0.0
            dcl_texcoord0 v0.xy
            dcl_2d s0
            dcl_2d s1
            // u of the pixel's centre and one texel's step, as hblur reads them
            rcp r3.w, c1.x
            mov r7, c2.y
            mov r7.xy, v0
            mov r5, c2.y
            mov r6, c2.y
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            add r5, r5, r8
            add r6, r6, r9
            add r7.x, r7.x, r3.w
            add r10, r5, r6
            mul r10, r10, c2.x
            mov r10.w, c2.z
            mov oC0, r10
        };
    }
}
