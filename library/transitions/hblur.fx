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
// W / 2 + 1 taps per input, 961 at 1920 pixels), so it needs loops with
// data-dependent breaks, which ps_2_0 does not have. texldl reads level 0,
// as no gradients exist inside the loops.
//
// Speed: the texels go sixteen to a loop pass, then four to a pass, then the
// last zero to three unconditionally, each weighted 1 inside the box and 0
// past it; the box, the row and the first texel's place are worked out
// before the loops, and an outer pass ends as soon as the inner one has. The
// sums add the same texels in the same order as one texel a pass would, so
// the result is that one's, bit for bit.
//
// Every texel is read at its centre through the point samplers, so the sums
// are exact whatever the GPU's filtering precision. Reading two texels with
// one bilinear fetch on their shared edge would halve the fetches, but only
// if the filter returned their mean with a bit more than the texel's 8 (the
// mean of two 8-bit values needs 9): llvmpipe filters 8-bit textures in
// 8-bit fixed point and truncates it, which put 1 in 10 channels one level
// off xfade, and some Windows drivers keep no more either. Its filtered
// fetch also costs about three point fetches there, so it was slower too.
//
// The limit: this reads each texel of the box once and nothing else costs
// much. At 1920x1080 (scripts/bench.sh --hblur) it fetches 2.46e9 texels a
// second against 2.54e9 for a shader that does nothing but fetch (0.97), so
// no rewrite that still reads every texel can gain more than about 3%; it
// runs 2.6x the one-texel-a-pass form, and 4x would need fewer than 2 in 3
// of the texels read. Reading fewer exactly needs sums shared between
// pixels, which one pass into the output cannot do: a running sum or a
// prefix-sum texture needs a target of our own between passes, and the
// derivatives that let the four pixels of a 2x2 block see each other's
// values are coarse on llvmpipe (one difference for the whole block), so a
// pixel cannot recover its neighbour's sum.

#include "../include/transition.fxh"

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
            // c3: the centres of four texels from x, in texels
            def c3, 0.5, 1.5, 2.5, 3.5
            // c4: 255, 1 / 255, the truncation guard 1 / 1024
            def c4, 255.0, 0.00392156863, 0.0009765625, 0.0
            // c5: texels of an inner pass and of a pass of four
            def c5, 16.0, 4.0, 0.0, 0.0
            // c6: the three last texels' places from k
            def c6, 0.0, 1.0, 2.0, 0.0
            // i0: 255 passes, for each of the nested loops
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
            // texel k + j from x is read at u = (x + k + j + 0.5) / W: r12 holds
            // it for k = 0, j = 0..3, so a group of four is k / W + r12, the next
            // four r3.y = 4 / W on
            rcp r3.w, c1.x
            add r12, r2.x, c3
            mul r12, r12, r3.w
            mul r3.y, r3.w, c5.y
            // k, the next texel from x; a pass of sixteen runs while
            // k <= cnt - 16, one of four while k <= cnt - 4
            add r4.y, r3.x, -c5.x
            add r4.z, r3.x, -c5.y
            mov r4.x, c2.w
            // sums of A (r5) and B (r6); fetch place r7 = (u, row, 0, level 0)
            mov r5, c2.w
            mov r6, c2.w
            mov r7, c2.w
            mov r7.y, v0.y
            rep i0
                rep i0
                    break_gt r4.x, r4.y
                    mad r11, r4.x, r3.w, r12
                    mov r7.x, r11.x
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.y
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.z
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.w
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    add r11, r11, r3.y
                    mov r7.x, r11.x
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.y
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.z
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.w
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    add r11, r11, r3.y
                    mov r7.x, r11.x
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.y
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.z
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.w
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    add r11, r11, r3.y
                    mov r7.x, r11.x
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.y
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.z
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    mov r7.x, r11.w
                    texldl r8, r7, s0
                    texldl r9, r7, s1
                    add r5, r5, r8
                    add r6, r6, r9
                    add r4.x, r4.x, c5.x
                endrep
                break_gt r4.x, r4.y
            endrep
            rep i0
                break_gt r4.x, r4.z
                mad r11, r4.x, r3.w, r12
                mov r7.x, r11.x
                texldl r8, r7, s0
                texldl r9, r7, s1
                add r5, r5, r8
                add r6, r6, r9
                mov r7.x, r11.y
                texldl r8, r7, s0
                texldl r9, r7, s1
                add r5, r5, r8
                add r6, r6, r9
                mov r7.x, r11.z
                texldl r8, r7, s0
                texldl r9, r7, s1
                add r5, r5, r8
                add r6, r6, r9
                mov r7.x, r11.w
                texldl r8, r7, s0
                texldl r9, r7, s1
                add r5, r5, r8
                add r6, r6, r9
                add r4.x, r4.x, c5.y
            endrep
            // the zero to three texels left: k + j inside the box weighs 1
            add r13.xyz, r4.x, c6
            add r13.xyz, r13, -r3.x
            cmp r13.xyz, r13, c2.w, c2.x
            mad r11, r4.x, r3.w, r12
            mov r7.x, r11.x
            texldl r8, r7, s0
            texldl r9, r7, s1
            mad r5, r8, r13.x, r5
            mad r6, r9, r13.x, r6
            mov r7.x, r11.y
            texldl r8, r7, s0
            texldl r9, r7, s1
            mad r5, r8, r13.y, r5
            mad r6, r9, r13.y, r6
            mov r7.x, r11.z
            texldl r8, r7, s0
            texldl r9, r7, s1
            mad r5, r8, r13.z, r5
            mad r6, r9, r13.z, r6
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
