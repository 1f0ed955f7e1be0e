// Squeezes, drawn as FFmpeg's xfade draws them: the first input is squeezed
// towards the middle line, uncovering the second. xfade's progress P runs
// from 1 to 0 (P = 1 - Time). SqueezeH works on rows: the pixel row
// y = floor(t0.y H) takes z = 0.5 + (y / H - 0.5) / P; outside 0..1 it
// shows B, inside it shows A's row round(z (H - 1)). SqueezeV does the same
// with columns (x, W). At Time 0 and 1 the inputs themselves are drawn
// (xfade's own first frame already shifts A's lower half by a row).

#include "../include/transition.fxh"

// The first input squeezes into the horizontal middle line.
technique SqueezeH
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
            // c2: one, a half, zero
            def c2, 1.0, 0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time
            add r4.x, c2.x, -c0.x
            // z = 0.5 + (y / H - 0.5) / P
            rcp r3.x, c1.y
            mul r5.x, r2.y, r3.x
            add r5.x, r5.x, -c2.y
            rcp r6.x, r4.x
            mul r5.x, r5.x, r6.x
            add r5.x, r5.x, c2.y
            // inside when min(z, 1 - z) >= 0
            add r5.y, c2.x, -r5.x
            min r5.y, r5.x, r5.y
            // A's row round(z (H - 1)), read at its centre
            add r6.x, c1.y, -c2.x
            mul r6.x, r5.x, r6.x
            add r6.x, r6.x, c2.y
            frc r7.x, r6.x
            add r6.x, r6.x, -r7.x
            add r6.x, r6.x, c2.y
            mov r7, c2.z
            mul r7.y, r6.x, r3.x
            mov r7.x, t0.x
            texld r0, r7, s0
            texld r1, t0, s1
            cmp r8, r5.y, r0, r1
            // the inputs themselves at the ends: Time <= 0 gives A, Time >= 1 B
            texld r9, t0, s0
            cmp r10, -c0.x, r9, r8
            add r9.x, c0.x, -c2.x
            cmp r11, r9.x, r1, r10
            mov oC0, r11
        };
    }
}

// The first input squeezes into the vertical middle line.
technique SqueezeV
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
            // c2: one, a half, zero
            def c2, 1.0, 0.5, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            // the pixel (x, y) = floor(t0 * size)
            mul r2.xy, t0, c1
            frc r3.xy, r2
            add r2.xy, r2, -r3
            // P = 1 - Time
            add r4.x, c2.x, -c0.x
            // z = 0.5 + (x / W - 0.5) / P
            rcp r3.x, c1.x
            mul r5.x, r2.x, r3.x
            add r5.x, r5.x, -c2.y
            rcp r6.x, r4.x
            mul r5.x, r5.x, r6.x
            add r5.x, r5.x, c2.y
            // inside when min(z, 1 - z) >= 0
            add r5.y, c2.x, -r5.x
            min r5.y, r5.x, r5.y
            // A's column round(z (W - 1)), read at its centre
            add r6.x, c1.x, -c2.x
            mul r6.x, r5.x, r6.x
            add r6.x, r6.x, c2.y
            frc r7.x, r6.x
            add r6.x, r6.x, -r7.x
            add r6.x, r6.x, c2.y
            mov r7, c2.z
            mul r7.x, r6.x, r3.x
            mov r7.y, t0.y
            texld r0, r7, s0
            texld r1, t0, s1
            cmp r8, r5.y, r0, r1
            // the inputs themselves at the ends: Time <= 0 gives A, Time >= 1 B
            texld r9, t0, s0
            cmp r10, -c0.x, r9, r8
            add r9.x, c0.x, -c2.x
            cmp r11, r9.x, r1, r10
            mov oC0, r11
        };
    }
}
