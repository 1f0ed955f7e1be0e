// Dissolve through a noise texture: where the noise is darker, the second
// input shows first. The noise comes from a texture file on sampler 2.
//!render --param InputTexture2=textures/noise.png

texture From : InputTexture0;
texture To : InputTexture1;
texture Noise : InputTexture2;
float Progress : Time;

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

sampler NoiseSampler = sampler_state
{
    Texture = <Noise>;
    MinFilter = Linear;
    MagFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};

technique Dissolve
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        Sampler[2] = <NoiseSampler>;
        PixelShaderConstantF[0] = <Progress>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            // c1: 1 + 2 edges, minus an edge, 1 / edge
            def c1, 1.1, -0.05, 20.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            dcl_2d s2
            texld r0, t0, s0
            texld r1, t0, s1
            texld r2, t0, s2
            mad r3.x, c0.x, c1.x, c1.y
            add r3.x, r3.x, -r2.x
            mul_sat r3.x, r3.x, c1.z
            lrp r4, r3.x, r1, r0
            mov oC0, r4
        };
    }
}
