// Blur: a nine-tap box of output pixels spread "BlurRadius" pixels apart
// ("PixelSize" gives one pixel).
//!render --semantic BlurRadius=0.0..4.0

texture Input : InputTexture0;
float4 Pixel : PixelSize;
float Radius : BlurRadius = 2.0;

sampler InputSampler = sampler_state
{
    Texture = <Input>;
    MinFilter = Linear;
    MagFilter = Linear;
    AddressU = Clamp;
    AddressV = Clamp;
};

float4 Main(float2 uv : TEXCOORD0) : COLOR0
{
    float2 step = Radius * Pixel.xy;
    float4 sum = 0;
    for (int y = -1; y <= 1; y++)
    {
        for (int x = -1; x <= 1; x++)
            sum += tex2D(InputSampler, uv + float2(x, y) * step);
    }
    return sum / 9;
}

technique Blur
{
    pass P0
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Main();
    }
}
