// Radial: a soft-edged hand sweeps round the centre pixel like a clock's and
// uncovers the second input. Matches FFmpeg xfade's radial.

#include "../include/transition.fxh"

technique Radial
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
            // c24, c25: atan(r) ~ r (a1 + a3 r^2 + a5 r^4 + a7 r^6 + a9 r^8) on [0, 1], error below 1e-5
            def c24, 0.0208351, -0.0851330, 0.1801410, -0.3302995
            // c25: a1, pi / 2, pi, 2.5 pi
            def c25, 0.9998660, 1.57079633, 3.14159265, 7.85398163
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
            // (a, b) = (x - cx, y - cy) with (cx, cy) = (floor(w / 2), floor(h / 2))
            mul r6.xy, c1, c20.y
            frc r7.xy, r6
            add r6.xy, r6, -r7
            add r7.xy, r2, -r6
            // angle = atan2(a, b): first atan(r), r = min(|a|, |b|) / max(|a|, |b|)
            abs r8.xy, r7
            min r8.z, r8.x, r8.y
            max r8.w, r8.x, r8.y
            max r8.w, r8.w, c20.x
            rcp r8.w, r8.w
            mul r8.z, r8.z, r8.w
            mul r8.w, r8.z, r8.z
            mad r9.x, r8.w, c24.x, c24.y
            mad r9.x, r9.x, r8.w, c24.z
            mad r9.x, r9.x, r8.w, c24.w
            mad r9.x, r9.x, r8.w, c25.x
            mul r9.x, r9.x, r8.z
            // then the octant: pi/2 - angle where |a| > |b|, pi - angle where b < 0, -angle where a < 0
            add r9.y, c25.y, -r9.x
            add r8.x, r8.y, -r8.x
            cmp r9.x, r8.x, r9.x, r9.y
            add r9.y, c25.z, -r9.x
            cmp r9.x, r7.y, r9.x, r9.y
            cmp r9.x, r7.x, r9.x, -r9.x
            // s = angle - 2.5 pi (P - 1/2)
            add r3.w, r2.z, -c20.y
            mad r3.x, r3.w, -c25.w, r9.x
            // Time 1 gives the second input whole (xfade's own last frame keeps a soft wedge)
            add r3.y, c0.x, -c20.x
            cmp r3.x, r3.y, c20.x, r3.x
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
