// Fade through a colour: the first input fades to "FadeColor", which then
// fades to the second. The host gives the colour as text ("#RRGGBB", "0x...",
// a colour name or a system colour name).
//!render --semantic FadeColor=#FFF0C0

texture From : InputTexture0;
texture To : InputTexture1;
float Progress : Time;
float4 Color : FadeColor = { 0.0, 0.0, 0.0, 1.0 };

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

technique FadeThroughColor
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        PixelShaderConstantF[1] = <Color>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            def c2, 2.0, -1.0, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            mul_sat r2.x, c0.x, c2.x
            mad_sat r2.y, c0.x, c2.x, c2.y
            lrp r3, r2.x, c1, r0
            lrp r4, r2.y, r1, r3
            mov oC0, r4
        };
    }
}
