// Slides, drawn as FFmpeg's xfade draws them: both inputs move together by
// whole pixels, the second one pushing the first out. xfade's progress P
// runs from 1 to 0 (P = 1 - Time); the shift is floor(W P) (or H) pixels,
// and the pixel x = floor(t0.x W) shows column x - shift (or x + shift),
// taken from B where that lies inside the picture and from A one picture
// further on where it does not. Texture coordinates are worked out per
// pixel, so each read lands on a texel centre.

#include "../include/transition.fxh"

// Both inputs move left, B coming in from the right.
technique SlideLeft
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
            // c2: one, a half
            def c2, 1.0, 0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time; floor(W P)
            add r4.x, c2.x, -c0.x
            mul r5.x, c1.x, r4.x
            frc r3.x, r5.x
            add r5.x, r5.x, -r3.x
            // z = x - floor(W P): the column shown
            add r5.x, r2.x, -r5.x
            // u = (z + 0.5) / W, the texture coordinate of that column
            rcp r3.x, c1.x
            mov r6, c2.z
            add r6.x, r5.x, c2.y
            mul r6.x, r6.x, r3.x
            // B where z >= 0 (u >= 0), else A at z + W (u + 1)
            mov r6.y, t0.y
            mov r7, r6
            add r7.x, r6.x, c2.x
            texld r0, r7, s0
            texld r1, r6, s1
            cmp r8, r6.x, r1, r0
            mov oC0, r8
        };
    }
}

// Both inputs move right, B coming in from the left.
technique SlideRight
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
            // c2: one, a half
            def c2, 1.0, 0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time; floor(W P)
            add r4.x, c2.x, -c0.x
            mul r5.x, c1.x, r4.x
            frc r3.x, r5.x
            add r5.x, r5.x, -r3.x
            // z = x + floor(W P): the column shown
            add r5.x, r2.x, r5.x
            // u = (z + 0.5) / W, the texture coordinate of that column
            rcp r3.x, c1.x
            mov r6, c2.z
            add r6.x, r5.x, c2.y
            mul r6.x, r6.x, r3.x
            // B where z < W (u < 1), else A at z - W (u - 1)
            mov r6.y, t0.y
            mov r7, r6
            add r7.x, r6.x, -c2.x
            texld r0, r7, s0
            texld r1, r6, s1
            cmp r8, r7.x, r0, r1
            mov oC0, r8
        };
    }
}

// Both inputs move up, B coming in from the bottom.
technique SlideUp
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
            // c2: one, a half
            def c2, 1.0, 0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time; floor(H P)
            add r4.x, c2.x, -c0.x
            mul r5.y, c1.y, r4.x
            frc r3.y, r5.y
            add r5.y, r5.y, -r3.y
            // z = x - floor(H P): the row shown
            add r5.y, r2.y, -r5.y
            // u = (z + 0.5) / H, the texture coordinate of that row
            rcp r3.y, c1.y
            mov r6, c2.z
            add r6.y, r5.y, c2.y
            mul r6.y, r6.y, r3.y
            // B where z >= 0 (u >= 0), else A at z + H (u + 1)
            mov r6.x, t0.x
            mov r7, r6
            add r7.y, r6.y, c2.x
            texld r0, r7, s0
            texld r1, r6, s1
            cmp r8, r6.y, r1, r0
            mov oC0, r8
        };
    }
}

// Both inputs move down, B coming in from the top.
technique SlideDown
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
            // c2: one, a half
            def c2, 1.0, 0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time; floor(H P)
            add r4.x, c2.x, -c0.x
            mul r5.y, c1.y, r4.x
            frc r3.y, r5.y
            add r5.y, r5.y, -r3.y
            // z = x + floor(H P): the row shown
            add r5.y, r2.y, r5.y
            // u = (z + 0.5) / H, the texture coordinate of that row
            rcp r3.y, c1.y
            mov r6, c2.z
            add r6.y, r5.y, c2.y
            mul r6.y, r6.y, r3.y
            // B where z < H (u < 1), else A at z - H (u - 1)
            mov r6.x, t0.x
            mov r7, r6
            add r7.y, r6.y, -c2.x
            texld r0, r7, s0
            texld r1, r6, s1
            cmp r8, r7.y, r0, r1
            mov oC0, r8
        };
    }
}
