// Tint: the picture's brightness in "TintColor", mixed with the original by
// "TintAmount" (0 none, 1 full). Both come from the host's Semantics.
//!render --semantic TintColor=teal --semantic TintAmount=0.0..1.0

texture Input : InputTexture0;
float4 Tint : TintColor = { 1.0, 0.5, 0.2, 1.0 };
float Amount : TintAmount = 0.75;

sampler InputSampler = sampler_state
{
    Texture = <Input>;
    MinFilter = Point;
    MagFilter = Point;
    AddressU = Clamp;
    AddressV = Clamp;
};

static const float3 Luma = float3(0.299, 0.587, 0.114);

float4 Main(float2 uv : TEXCOORD0) : COLOR0
{
    float4 c = tex2D(InputSampler, uv);
    // brightness, doubled so a mid-grey gives the full tint
    float4 tinted = saturate(dot(c.rgb, Luma) * 2.0 * Tint);
    float4 result = lerp(c, tinted, Amount);
    result.a = c.a;
    return result;
}

technique Tint
{
    pass P0
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Main();
    }
}
