// RectCrop: the first input shrinks to a point inside a black frame, the
// second grows out of it, each as a rectangle of the output's shape around
// the centre pixel. Matches FFmpeg xfade's rectcrop.

#include "../include/transition.fxh"

technique RectCrop
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
            // c24: black, opaque
            def c24, 0.0, 0.0, 0.0, 1.0
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
            // (cx, cy) = (floor(w / 2), floor(h / 2)), the centre pixel
            mul r6.xy, c1, c20.y
            frc r7.xy, r6
            add r6.xy, r6, -r7
            // half sizes (zw, zh) = floor(|P - 1/2| (w, h))
            add r3.w, r2.z, -c20.y
            abs r3.x, r3.w
            mul r3.xy, r3.x, c1
            frc r7.xy, r3
            add r3.xy, r3, -r7
            // inside when |x - cx| < zw and |y - cy| < zh (integers: margin - 1/2 >= 0)
            add r7.xy, r2, -r6
            abs r7.xy, r7
            add r3.xy, r3, -r7
            add r3.xy, r3, -c20.y
            min r3.x, r3.x, r3.y
            // the first input while P >= 1/2, then the second; black outside
            cmp r4, r3.w, r0, r1
            cmp r4, r3.x, r4, c24
            // Time 0 and 1 give the inputs whole (xfade's own end frames keep a black edge)
            cmp r4, -c0.x, r0, r4
            add r3.x, c0.x, -c20.x
            cmp r4, r3.x, r1, r4
            mov oC0, r4
        };
    }
}
