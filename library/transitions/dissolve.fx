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

static const float Edge = 0.05;

float4 Main(float2 uv : TEXCOORD0) : COLOR0
{
    float noise = tex2D(NoiseSampler, uv).r;
    // the threshold runs from one edge below black to one above white
    float shown = saturate((Progress * (1.0 + 2.0 * Edge) - Edge - noise) / Edge);
    return lerp(tex2D(FromSampler, uv), tex2D(ToSampler, uv), shown);
}

technique Dissolve
{
    pass P0
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Main();
    }
}
