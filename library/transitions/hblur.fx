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
// Speed: the two pixels of a pair (x0 even, x0 + 1) share all of their
// boxes but one texel each: x0's box is texel x0 and the c0 - 1 texels after
// it (c0 = min(size, W - x0)), x0 + 1's those c0 - 1 and texel x0 + c0 when
// its box still reaches it. Each pixel sums half of the shared texels and
// takes the other half from its partner through dsx, the difference across
// the pair, so a pixel reads about half its box (at 1920x1080 over the
// bench's Times, 361 texels of both inputs for a box of 712; it runs 4.1 to
// 4.4 times the one-texel-a-pass form, scripts/bench.sh --hblur). The
// texels go sixteen to a loop pass, then four to a pass, then the last zero
// to three unconditionally, each weighted 1 inside the part and 0 past it
// (366 instruction slots of ps_3_0's 512). dsx is taken after the loops,
// where every pixel runs again. Where a GPU's dsx is
// one difference for a whole 2x2 block (allowed to Direct3D 9 drivers), the
// difference of x y across the pair is not the pixel's own row y, and the
// pixel sums the partner's half itself: right either way, fast where the
// difference is the pixel's own (llvmpipe's is). The halves are added in
// another order than one texel at a time, so a sum can differ from that
// one's in its last bits: 1 in 40,000 pixels lands one level off the
// one-texel form, and against xfade it is as close as that form (largest
// difference 1 at every Time compared). A subroutine for the loops
// (call/label) drew nothing right here, so they are written out twice.
//
// Every texel is read at its centre through the point samplers, so the sums
// are exact whatever the GPU's filtering precision. Reading two texels with
// one bilinear fetch on their shared edge would halve the fetches, but only
// if the filter returned their mean with a bit more than the texel's 8 (the
// mean of two 8-bit values needs 9): llvmpipe filters 8-bit textures in
// 8-bit fixed point and truncates it, which put 1 in 10 channels one level
// off xfade, and some Windows drivers keep no more either. Its filtered
// fetch also costs about three point fetches there, so it was slower too.

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
            // x = floor(t0.x W); cnt = min(size, W - x); y = floor(t0.y H)
            mul r2.x, v0.x, c1.x
            frc r2.y, r2.x
            add r2.x, r2.x, -r2.y
            add r2.y, c1.x, -r2.x
            min r3.x, r1.x, r2.y
            mul r16.y, v0.y, c1.y
            frc r16.w, r16.y
            add r16.y, r16.y, -r16.w
            // the pair of pixels x0 = x - odd and x0 + 1 (odd = x mod 2) shares the
            // n = c0 - 1 texels from x0 + 1 (c0 = min(size, W - x0), x0's count):
            // x0 sums their first m = n - floor(n / 2), x0 + 1 the rest
            mul r2.y, r2.x, c2.y
            frc r2.z, r2.y
            add r2.z, r2.z, r2.z
            add r2.w, r2.x, -r2.z
            add r19.x, c1.x, -r2.w
            min r19.x, r1.x, r19.x
            add r19.y, r19.x, -c2.x
            mul r19.z, r19.y, c2.y
            frc r19.w, r19.z
            add r19.z, r19.z, -r19.w
            add r19.w, r19.y, -r19.z
            // this pixel's part: from x0 + 1 + odd m, m texels (x0) or floor(n / 2)
            add r20.x, r2.w, c2.x
            mad r20.x, r2.z, r19.w, r20.x
            add r20.z, r19.z, -r19.w
            mad r20.y, r2.z, r20.z, r19.w
            // sums of A (r5) and B (r6); fetch place r7 = (u, row, 0, level 0)
            rcp r3.w, c1.x
            mul r3.y, r3.w, c5.y
            mov r5, c2.w
            mov r6, c2.w
            mov r7, c2.w
            mov r7.y, v0.y
            // r12: u of four texels from r20.x; k (r4.x) the next texel; a pass of
            // sixteen runs while k <= count - 16, one of four while k <= count - 4
            add r12, r20.x, c3
            mul r12, r12, r3.w
            add r4.y, r20.y, -c5.x
            add r4.z, r20.y, -c5.y
            mov r4.x, c2.w
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
            add r13.xyz, r4.x, c6
            add r13.xyz, r13, -r20.y
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
            // the partner's part through the difference across the pair: its sum
            // is ours + dsx (x0) or ours - dsx (x0 + 1)
            dsx r14, r5
            dsx r15, r6
            mad r2.y, r2.z, -c2.z, c2.x
            mad r14, r14, r2.y, r5
            mad r15, r15, r2.y, r6
            // where dsx is one difference for a whole 2x2 block, dsx(x y) is not
            // this row's y: then the partner's part is summed here too
            mul r16.x, r2.x, r16.y
            dsx r16.z, r16.x
            add r16.z, r16.z, -r16.y
            if_ne r16.z, c2.w
                mov r17, r5
                mov r18, r6
                mov r5, c2.w
                mov r6, c2.w
                add r21.x, c2.x, -r2.z
                add r20.x, r2.w, c2.x
                mad r20.x, r21.x, r19.w, r20.x
                mad r20.y, -r2.z, r20.z, r19.z
                // r12: u of four texels from r20.x; k (r4.x) the next texel; a pass of
                // sixteen runs while k <= count - 16, one of four while k <= count - 4
                add r12, r20.x, c3
                mul r12, r12, r3.w
                add r4.y, r20.y, -c5.x
                add r4.z, r20.y, -c5.y
                mov r4.x, c2.w
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
                add r13.xyz, r4.x, c6
                add r13.xyz, r13, -r20.y
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
                mov r14, r5
                mov r15, r6
                mov r5, r17
                mov r6, r18
            endif
            add r5, r5, r14
            add r6, r6, r15
            // the pixel's own end of its box: texel x0 for x0; for x0 + 1 texel
            // x0 + c0, weighed 0 when the box reached the edge (its count is c0 - 1)
            mad r21.x, r2.z, r19.x, r2.w
            add r21.y, r21.x, -c1.x
            cmp r21.y, r21.y, c2.w, c2.x
            lrp r21.z, r2.z, r21.y, c2.x
            add r21.x, r21.x, c2.y
            mul r7.x, r21.x, r3.w
            texldl r8, r7, s0
            texldl r9, r7, s1
            mad r5, r8, r21.z, r5
            mad r6, r9, r21.z, r6
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
