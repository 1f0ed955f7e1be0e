// Layers: three passes over the same grid. The first draws the second input
// opaque; the second lays the first input over it with alpha blending, its
// alpha a diagonal ramp that sweeps across with Time; the third adds a faint
// warm light with additive blending. The framework applies each pass's blend
// states before it draws.
texture From : InputTexture0;
texture To : InputTexture1;
float Progress : Time;
float4 Light = {0.08, 0.05, 0.0, 0.0};

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

float4 Under(float2 uv : TEXCOORD0) : COLOR0
{
    return float4(tex2D(ToSampler, uv).rgb, 1);
}

float4 Over(float2 uv : TEXCOORD0) : COLOR0
{
    float ramp = saturate((uv.x + uv.y) * 0.5 + 1.0 - 2.0 * Progress);
    return float4(tex2D(FromSampler, uv).rgb, ramp);
}

float4 Glow(float2 uv : TEXCOORD0) : COLOR0
{
    return Light * (1.0 - uv.y);
}

technique Layers
{
    pass Under
    {
        AlphaBlendEnable = false;
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Under();
    }
    pass Over
    {
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
        PixelShader = compile ps_2_0 Over();
    }
    pass Glow
    {
        SrcBlend = One;
        DestBlend = One;
        PixelShader = compile ps_2_0 Glow();
    }
}
