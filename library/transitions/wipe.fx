// Directional wipe with a soft edge. "WipeDirection" (x, y) points the way the
// edge travels; keep |x| + |y| = 1. The edge is a tenth of the picture wide.
//!render --semantic WipeDirection:vector=0.7071,0.2929

texture From : InputTexture0;
texture To : InputTexture1;
float Progress : Time;
float4 Direction : WipeDirection = { 1.0, 0.0, 0.0, 0.0 };

sampler FromSampler = sampler_state
{
    Texture = <From>;
    MinFilter = Point;
    MagFilter = Point;
    AddressU = Clamp;
    AddressV = Clamp;
};

sampler ToSampler = sampler_state
{
    Texture = <To>;
    MinFilter = Point;
    MagFilter = Point;
    AddressU = Clamp;
    AddressV = Clamp;
};

technique Wipe
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        PixelShaderConstantF[1] = <Direction>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            // c2: edge position scale and start, 1 / edge width, the centre.
            def c2, 1.3, -0.1, 10.0, 0.5
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            add r2.xy, t0, -c2.w
            dp2add r2.x, r2, c1, c2.w
            mad r3.x, c0.x, c2.x, c2.y
            add r3.x, r3.x, -r2.x
            mul_sat r3.x, r3.x, c2.z
            lrp r4, r3.x, r1, r0
            mov oC0, r4
        };
    }
}
