// The horizontal blur as it was before its loops were unrolled and its
// pairs of pixels shared their sums: one texel of each input a loop pass.
// Kept only so scripts/bench.sh can time the shipped
// library/transitions/hblur.fx against it in the same run; both give the
// same pixels but 1 in 40,000, one level apart.
//
// Horizontal blur, drawn as FFmpeg's xfade draws it: both inputs are
// blurred along their rows by a box that grows to half the picture's width
// at the middle of the transition while they cross-fade. xfade's progress P
// runs from 1 to 0 (P = 1 - Time). The box is size = 1 + floor(floor(W / 2)
// prog) pixels, prog = 2 P up to P = 0.5 and 2 (1 - P) after; at the pixel
// x = floor(t0.x W) it averages the cnt = min(size, W - x) pixels from x to
// the right (the box is one-sided, as xfade's running sum is), and
// v = avg(A) P + avg(B) (1 - P), truncated to 8 bits by
// floor(255 v + guard) / 255.
//
// ps_3_0 with a vs_3_0 pass-through: the box has no fixed width (up to
// W / 2 + 1 taps per input, 961 at 1920 pixels), so it needs a loop with a
// data-dependent break, which ps_2_0 does not have. Two nested loops of 255
// give up to 65025 taps; texldl reads level 0, as no gradients exist inside
// the loop.

#include "../library/include/transition.fxh"

technique HBlur
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
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
            // c2: one, a half, two, zero
            def c2, 1.0, 0.5, 2.0, 0.0
            // c4: 255, 1 / 255, the truncation guard 1 / 1024
            def c4, 255.0, 0.00392156863, 0.0009765625, 0.0
            // i0: 255 passes, for each of the two nested loops
            defi i0, 255, 0, 0, 0
            dcl_texcoord0 v0.xy
            dcl_2d s0
            dcl_2d s1
            // P = 1 - Time; the max (P is never negative) keeps the compiler
            // from folding 1 - (1 - Time) into Time, which rounds differently
            add r0.x, c2.x, -c0.x
            max r0.x, r0.x, c2.w
            // prog = 2 P when P <= 0.5, else 2 (1 - P)
            add r0.y, c2.x, -r0.x
            mul r0.zw, r0.xxxy, c2.z
            add r0.y, c2.y, -r0.x
            cmp r0.y, r0.y, r0.z, r0.w
            // size = floor(1 + floor(W / 2) prog)
            mul r1.x, c1.x, c2.y
            frc r1.y, r1.x
            add r1.x, r1.x, -r1.y
            mul r1.x, r1.x, r0.y
            add r1.x, r1.x, c2.x
            frc r1.y, r1.x
            add r1.x, r1.x, -r1.y
            // x = floor(t0.x W); cnt = min(size, W - x)
            mul r2.x, v0.x, c1.x
            frc r2.y, r2.x
            add r2.x, r2.x, -r2.y
            add r2.y, c1.x, -r2.x
            min r3.x, r1.x, r2.y
            // sums of A (r5) and B (r6) over the columns x + k, k = 0 .. cnt - 1,
            // each read at its centre (x + k + 0.5) / W on this row
            rcp r3.y, c1.x
            add r3.z, r2.x, c2.y
            mov r4.x, c2.w
            mov r5, c2.w
            mov r6, c2.w
            mov r7, c2.w
            mov r7.y, v0.y
            rep i0
                rep i0
                    break_ge r4.x, r3.x
                    add r7.x, r3.z, r4.x
                    mul r7.x, r7.x, r3.y
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    add r4.x, r4.x, c2.x
                endrep
            endrep
            // v = avg(A) P + avg(B) (1 - P), truncated to 8 bits
            rcp r3.w, r3.x
            mul r5, r5, r3.w
            mul r6, r6, r3.w
            lrp r10, r0.x, r5, r6
            mad r10, r10, c4.x, c4.z
            frc r11, r10
            add r10, r10, -r11
            mul r10, r10, c4.y
            mov r10.w, c2.x
            mov oC0, r10
        };
    }
}
