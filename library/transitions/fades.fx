// Fades, drawn as FFmpeg's xfade draws them (fadeblack, fadewhite,
// fadegrays, fadefast, fadeslow; the plain fade is crossfade.fx).
// xfade's progress P runs from 1 to 0, so P = 1 - Time. It stores its float
// results by truncation and our target rounds, so each shader ends with
// floor(255 v + guard) / 255; the guard keeps exact integers from falling
// one short through the 8-bit to float conversion.

#include "../include/transition.fxh"

// Through black: A fades out over P in 1..0.8, B fades in over P in 0.8..0,
// and the two mix by P.
technique FadeBlack
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            // c2: one, 1 / 0.2, -0.8 / 0.2, the colour passed through
            def c2, 1.0, 5.0, -4.0, 0.0
            // c3: 1 / 0.8, -0.2 / 0.8, then 3 and -2 for the smoothstep
            def c3, 1.25, -0.25, 3.0, -2.0
            // c4: 255, 1 / 255, the truncation guard 1 / 1024
            def c4, 255.0, 0.00392156863, 0.0009765625, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // P = 1 - Time
            add r2.x, c2.x, -c0.x
            // u1 = (P - 0.8) / 0.2 and u2 = (P - 0.2) / 0.8, clamped to 0..1
            mad_sat r2.y, r2.x, c2.y, c2.z
            mad_sat r2.z, r2.x, c3.x, c3.y
            // smoothstep: s = u u (3 - 2 u)
            mad r3.yz, r2, c3.w, c3.z
            mul r4.yz, r2, r2
            mul r3.yz, r3, r4
            // X = A s1 + black (1 - s1), Y = black s2 + B (1 - s2)
            lrp r5, r3.y, r0, c2.w
            lrp r6, r3.z, c2.w, r1
            // v = X P + Y (1 - P), truncated to 8 bits
            lrp r7, r2.x, r5, r6
            mad r7, r7, c4.x, c4.z
            frc r8, r7
            add r7, r7, -r8
            mul r7, r7, c4.y
            mov r7.w, c2.x
            mov oC0, r7
        };
    }
}

// Through white: as FadeBlack with white in the middle.
technique FadeWhite
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            // c2: one, 1 / 0.2, -0.8 / 0.2, the colour passed through
            def c2, 1.0, 5.0, -4.0, 1.0
            // c3: 1 / 0.8, -0.2 / 0.8, then 3 and -2 for the smoothstep
            def c3, 1.25, -0.25, 3.0, -2.0
            // c4: 255, 1 / 255, the truncation guard 1 / 1024
            def c4, 255.0, 0.00392156863, 0.0009765625, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // P = 1 - Time
            add r2.x, c2.x, -c0.x
            // u1 = (P - 0.8) / 0.2 and u2 = (P - 0.2) / 0.8, clamped to 0..1
            mad_sat r2.y, r2.x, c2.y, c2.z
            mad_sat r2.z, r2.x, c3.x, c3.y
            // smoothstep: s = u u (3 - 2 u)
            mad r3.yz, r2, c3.w, c3.z
            mul r4.yz, r2, r2
            mul r3.yz, r3, r4
            // X = A s1 + white (1 - s1), Y = white s2 + B (1 - s2)
            lrp r5, r3.y, r0, c2.w
            lrp r6, r3.z, c2.w, r1
            // v = X P + Y (1 - P), truncated to 8 bits
            lrp r7, r2.x, r5, r6
            mad r7, r7, c4.x, c4.z
            frc r8, r7
            add r7, r7, -r8
            mul r7, r7, c4.y
            mov r7.w, c2.x
            mov oC0, r7
        };
    }
}

// Through grey: as FadeBlack, each input fading to and from its own grey,
// the integer mean of its three channels.
technique FadeGrays
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            // c2: one, 1 / 0.2, -0.8 / 0.2, 1 / 6
            def c2, 1.0, 5.0, -4.0, 0.16666667
            // c3: 1 / 0.8, -0.2 / 0.8, then 3 and -2 for the smoothstep
            def c3, 1.25, -0.25, 3.0, -2.0
            // c4: 255, 1 / 255, the truncation guard 1 / 1024, 255 / 3
            def c4, 255.0, 0.00392156863, 0.0009765625, 85.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // greys g = floor((R + G + B) / 3) on 0..255: x for A, y for B;
            // the 1/6 keeps sums that are multiples of 3 from falling short
            dp3 r9.x, r0, c4.w
            dp3 r9.y, r1, c4.w
            add r9.xy, r9, c2.w
            frc r10.xy, r9
            add r9.xy, r9, -r10
            mul r9.xy, r9, c4.y
            // P = 1 - Time
            add r2.x, c2.x, -c0.x
            // u1 = (P - 0.8) / 0.2 and u2 = (P - 0.2) / 0.8, clamped to 0..1
            mad_sat r2.y, r2.x, c2.y, c2.z
            mad_sat r2.z, r2.x, c3.x, c3.y
            // smoothstep: s = u u (3 - 2 u)
            mad r3.yz, r2, c3.w, c3.z
            mul r4.yz, r2, r2
            mul r3.yz, r3, r4
            // X = A s1 + gA (1 - s1), Y = gB s2 + B (1 - s2)
            lrp r5, r3.y, r0, r9.x
            lrp r6, r3.z, r9.y, r1
            // v = X P + Y (1 - P), truncated to 8 bits
            lrp r7, r2.x, r5, r6
            mad r7, r7, c4.x, c4.z
            frc r8, r7
            add r7, r7, -r8
            mul r7, r7, c4.y
            mov r7.w, c2.x
            mov oC0, r7
        };
    }
}

// Fast fade: per channel, A weighs m = P^(1 + ln(1 + |A - B|)), so
// channels that differ most change first.
technique FadeFast
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            // c2: one, ln 2, the smallest P taken (log of 0 is not finite), one
            def c2, 1.0, 0.69314718, 0.000001, 1.0
            // c4: 255, 1 / 255, the truncation guard 1 / 1024
            def c4, 255.0, 0.00392156863, 0.0009765625, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // r = 1 + |A - B|
            add r2, r0, -r1
            abs r2, r2
            add r2, r2, c2.w
            // e = 1 + ln r, per channel
            log r3.x, r2.x
            log r3.y, r2.y
            log r3.z, r2.z
            mad r3.xyz, r3, c2.y, c2.x
            // m = P^e = 2^(e log2 P), P = 1 - Time
            add r4.x, c2.x, -c0.x
            max r4.x, r4.x, c2.z
            log r4.x, r4.x
            mul r3.xyz, r3, r4.x
            exp r5.x, r3.x
            exp r5.y, r3.y
            exp r5.z, r3.z
            // v = A m + B (1 - m), truncated to 8 bits
            lrp r7.xyz, r5, r0, r1
            mad r7.xyz, r7, c4.x, c4.z
            frc r8.xyz, r7
            add r7.xyz, r7, -r8
            mul r7.xyz, r7, c4.y
            mov r7.w, c2.x
            mov oC0, r7
        };
    }
}

// Slow fade: as FadeFast with m = P^(1 + ln(2 - |A - B|)), so channels
// that differ most change last.
technique FadeSlow
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            // c2: one, ln 2, the smallest P taken (log of 0 is not finite), two
            def c2, 1.0, 0.69314718, 0.000001, 2.0
            // c4: 255, 1 / 255, the truncation guard 1 / 1024
            def c4, 255.0, 0.00392156863, 0.0009765625, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // r = 2 - |A - B|
            add r2, r0, -r1
            abs r2, r2
            add r2, c2.w, -r2
            // e = 1 + ln r, per channel
            log r3.x, r2.x
            log r3.y, r2.y
            log r3.z, r2.z
            mad r3.xyz, r3, c2.y, c2.x
            // m = P^e = 2^(e log2 P), P = 1 - Time
            add r4.x, c2.x, -c0.x
            max r4.x, r4.x, c2.z
            log r4.x, r4.x
            mul r3.xyz, r3, r4.x
            exp r5.x, r3.x
            exp r5.y, r3.y
            exp r5.z, r3.z
            // v = A m + B (1 - m), truncated to 8 bits
            lrp r7.xyz, r5, r0, r1
            mad r7.xyz, r7, c4.x, c4.z
            frc r8.xyz, r7
            add r7.xyz, r7, -r8
            mul r7.xyz, r7, c4.y
            mov r7.w, c2.x
            mov oC0, r7
        };
    }
}
