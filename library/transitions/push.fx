// Push: the second input slides in from the right and pushes the first out
// to the left.

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

float4 Main(float2 uv : TEXCOORD0) : COLOR0
{
    float2 from = float2(uv.x + Progress, uv.y);
    float2 to = float2(from.x - 1.0, uv.y);
    return to.x >= 0.0 ? tex2D(ToSampler, to) : tex2D(FromSampler, from);
}

technique Push
{
    pass P0
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Main();
    }
}
