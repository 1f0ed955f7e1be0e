// Search: a ps_3_0 loop whose length depends on the picture. From each
// pixel it steps towards the centre, at most Steps times, and stops early
// where the first input is darker than a threshold that falls with Time;
// the pixel takes the average of the colours it passed.
texture Input : InputTexture0;
float Progress : Time;
static const int Steps = 10;
float Stride = 0.012;

sampler InputSampler = sampler_state
{
    Texture = <Input>;
    MinFilter = Linear;
    MagFilter = Linear;
    AddressU = Clamp;
    AddressV = Clamp;
};

struct Varyings
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

Varyings Through(Varyings v)
{
    return v;
}

float4 Walk(float2 uv : TEXCOORD0) : COLOR0
{
    float2 toCentre = normalize(float2(0.5, 0.5) - uv + 0.0001) * Stride;
    float threshold = 0.6 - 0.5 * Progress;
    float3 sum = 0;
    float count = 0;
    for (int i = 0; i < Steps; i++)
    {
        float3 c = tex2D(InputSampler, uv + toCentre * i).rgb;
        sum += c;
        count += 1;
        if (dot(c, float3(0.299, 0.587, 0.114)) < threshold)
            break;
    }
    return float4(sum / count, 1);
}

technique Search
{
    pass P0
    {
        VertexShader = compile vs_3_0 Through();
        PixelShader = compile ps_3_0 Walk();
    }
}
