// Crossfade: the second input fades in over the first.

texture From : InputTexture0;
texture To : InputTexture1;
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

technique Crossfade
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
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            lrp r2, c0.x, r1, r0
            mov oC0, r2
        };
    }
}
