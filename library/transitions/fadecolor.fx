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

float4 Main(float2 uv : TEXCOORD0) : COLOR0
{
    float4 toColor = lerp(tex2D(FromSampler, uv), Color, saturate(Progress * 2.0));
    return lerp(toColor, tex2D(ToSampler, uv), saturate(Progress * 2.0 - 1.0));
}

technique FadeThroughColor
{
    pass P0
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Main();
    }
}
