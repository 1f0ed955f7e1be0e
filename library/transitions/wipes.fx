// Wipes, drawn as FFmpeg's xfade draws them: a hard edge at whole pixels.
// xfade's progress P runs from 1 to 0 (P = 1 - Time), and its edges sit at
// z = floor(W P) (or H, or 1 - P) for the pixel (x, y), x counted from 0 at
// the left, y from 0 at the top: x = floor(t0.x W) as the texture
// coordinates reach each pixel at its centre. At Time 0 and 1 the inputs
// themselves are drawn: xfade leaves one row or column of the other input
// there.

#include "../include/transition.fxh"

// The edge moves to the left: B where x > floor(W P).
technique WipeLeft
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
            // c2: one, -0.5 (for x > z as x - z - 0.5 >= 0), zero
            def c2, 1.0, -0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time, Q = 1 - P
            add r4.x, c2.x, -c0.x
            add r4.y, c2.x, -r4.x
            // z = floor(W P)
            mul r5.x, c1.x, r4.x
            frc r6.x, r5.x
            add r5.x, r5.x, -r6.x
            // x > z: B, else A
            add r7.x, r2.x, -r5.x
            add r7.x, r7.x, c2.y
            cmp r8, r7.x, r1, r0
            // the inputs themselves at the ends: Time <= 0 gives A, Time >= 1 B
            cmp r10, -c0.x, r0, r8
            add r9.x, c0.x, -c2.x
            cmp r11, r9.x, r1, r10
            mov oC0, r11
        };
    }
}

// The edge moves to the right: A where x > floor(W (1 - P)).
technique WipeRight
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
            // c2: one, -0.5 (for x > z as x - z - 0.5 >= 0), zero
            def c2, 1.0, -0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time, Q = 1 - P
            add r4.x, c2.x, -c0.x
            add r4.y, c2.x, -r4.x
            // z = floor(W (1 - P))
            mul r5.x, c1.x, r4.y
            frc r6.x, r5.x
            add r5.x, r5.x, -r6.x
            // x > z: A, else B
            add r7.x, r2.x, -r5.x
            add r7.x, r7.x, c2.y
            cmp r8, r7.x, r0, r1
            // the inputs themselves at the ends: Time <= 0 gives A, Time >= 1 B
            cmp r10, -c0.x, r0, r8
            add r9.x, c0.x, -c2.x
            cmp r11, r9.x, r1, r10
            mov oC0, r11
        };
    }
}

// The edge moves up: B where y > floor(H P).
technique WipeUp
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
            // c2: one, -0.5 (for x > z as x - z - 0.5 >= 0), zero
            def c2, 1.0, -0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time, Q = 1 - P
            add r4.x, c2.x, -c0.x
            add r4.y, c2.x, -r4.x
            // z = floor(H P)
            mul r5.y, c1.y, r4.x
            frc r6.y, r5.y
            add r5.y, r5.y, -r6.y
            // y > z: B, else A
            add r7.x, r2.y, -r5.y
            add r7.x, r7.x, c2.y
            cmp r8, r7.x, r1, r0
            // the inputs themselves at the ends: Time <= 0 gives A, Time >= 1 B
            cmp r10, -c0.x, r0, r8
            add r9.x, c0.x, -c2.x
            cmp r11, r9.x, r1, r10
            mov oC0, r11
        };
    }
}

// The edge moves down: A where y > floor(H (1 - P)).
technique WipeDown
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
            // c2: one, -0.5 (for x > z as x - z - 0.5 >= 0), zero
            def c2, 1.0, -0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time, Q = 1 - P
            add r4.x, c2.x, -c0.x
            add r4.y, c2.x, -r4.x
            // z = floor(H (1 - P))
            mul r5.y, c1.y, r4.y
            frc r6.y, r5.y
            add r5.y, r5.y, -r6.y
            // y > z: A, else B
            add r7.x, r2.y, -r5.y
            add r7.x, r7.x, c2.y
            cmp r8, r7.x, r0, r1
            // the inputs themselves at the ends: Time <= 0 gives A, Time >= 1 B
            cmp r10, -c0.x, r0, r8
            add r9.x, c0.x, -c2.x
            cmp r11, r9.x, r1, r10
            mov oC0, r11
        };
    }
}

// Towards the top left corner: A where y <= floor(H P) and x <= floor(W P).
technique WipeTL
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
            // c2: one, -0.5 (for x > z as x - z - 0.5 >= 0), zero
            def c2, 1.0, -0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time, Q = 1 - P
            add r4.x, c2.x, -c0.x
            add r4.y, c2.x, -r4.x
            // zw = floor(W P)
            mul r5.x, c1.x, r4.x
            frc r6.x, r5.x
            add r5.x, r5.x, -r6.x
            // zh = floor(H P)
            mul r5.y, c1.y, r4.x
            frc r6.y, r5.y
            add r5.y, r5.y, -r6.y
            // x <= zw: zw - x >= 0; y <= zh: zh - y >= 0
            add r7.x, r5.x, -r2.x
            add r7.y, r5.y, -r2.y
            // both hold: A, else B
            min r7.x, r7.x, r7.y
            cmp r8, r7.x, r0, r1
            // the inputs themselves at the ends: Time <= 0 gives A, Time >= 1 B
            cmp r10, -c0.x, r0, r8
            add r9.x, c0.x, -c2.x
            cmp r11, r9.x, r1, r10
            mov oC0, r11
        };
    }
}

// Towards the top right corner: A where y <= floor(H P) and x > floor(W (1 - P)).
technique WipeTR
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
            // c2: one, -0.5 (for x > z as x - z - 0.5 >= 0), zero
            def c2, 1.0, -0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time, Q = 1 - P
            add r4.x, c2.x, -c0.x
            add r4.y, c2.x, -r4.x
            // zw = floor(W (1 - P))
            mul r5.x, c1.x, r4.y
            frc r6.x, r5.x
            add r5.x, r5.x, -r6.x
            // zh = floor(H P)
            mul r5.y, c1.y, r4.x
            frc r6.y, r5.y
            add r5.y, r5.y, -r6.y
            // x > zw: x - zw - 0.5 >= 0; y <= zh: zh - y >= 0
            add r7.x, r2.x, -r5.x
            add r7.x, r7.x, c2.y
            add r7.y, r5.y, -r2.y
            // both hold: A, else B
            min r7.x, r7.x, r7.y
            cmp r8, r7.x, r0, r1
            // the inputs themselves at the ends: Time <= 0 gives A, Time >= 1 B
            cmp r10, -c0.x, r0, r8
            add r9.x, c0.x, -c2.x
            cmp r11, r9.x, r1, r10
            mov oC0, r11
        };
    }
}

// Towards the bottom left corner: A where y > floor(H (1 - P)) and x <= floor(W P).
technique WipeBL
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
            // c2: one, -0.5 (for x > z as x - z - 0.5 >= 0), zero
            def c2, 1.0, -0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time, Q = 1 - P
            add r4.x, c2.x, -c0.x
            add r4.y, c2.x, -r4.x
            // zw = floor(W P)
            mul r5.x, c1.x, r4.x
            frc r6.x, r5.x
            add r5.x, r5.x, -r6.x
            // zh = floor(H (1 - P))
            mul r5.y, c1.y, r4.y
            frc r6.y, r5.y
            add r5.y, r5.y, -r6.y
            // x <= zw: zw - x >= 0; y > zh: y - zh - 0.5 >= 0
            add r7.x, r5.x, -r2.x
            add r7.y, r2.y, -r5.y
            add r7.y, r7.y, c2.y
            // both hold: A, else B
            min r7.x, r7.x, r7.y
            cmp r8, r7.x, r0, r1
            // the inputs themselves at the ends: Time <= 0 gives A, Time >= 1 B
            cmp r10, -c0.x, r0, r8
            add r9.x, c0.x, -c2.x
            cmp r11, r9.x, r1, r10
            mov oC0, r11
        };
    }
}

// Towards the bottom right corner: A where y > floor(H (1 - P)) and x > floor(W (1 - P)).
technique WipeBR
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
            // c2: one, -0.5 (for x > z as x - z - 0.5 >= 0), zero
            def c2, 1.0, -0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time, Q = 1 - P
            add r4.x, c2.x, -c0.x
            add r4.y, c2.x, -r4.x
            // zw = floor(W (1 - P))
            mul r5.x, c1.x, r4.y
            frc r6.x, r5.x
            add r5.x, r5.x, -r6.x
            // zh = floor(H (1 - P))
            mul r5.y, c1.y, r4.y
            frc r6.y, r5.y
            add r5.y, r5.y, -r6.y
            // x > zw: x - zw - 0.5 >= 0; y > zh: y - zh - 0.5 >= 0
            add r7.x, r2.x, -r5.x
            add r7.x, r7.x, c2.y
            add r7.y, r2.y, -r5.y
            add r7.y, r7.y, c2.y
            // both hold: A, else B
            min r7.x, r7.x, r7.y
            cmp r8, r7.x, r0, r1
            // the inputs themselves at the ends: Time <= 0 gives A, Time >= 1 B
            cmp r10, -c0.x, r0, r8
            add r9.x, c0.x, -c2.x
            cmp r11, r9.x, r1, r10
            mov oC0, r11
        };
    }
}
