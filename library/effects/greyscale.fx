// Greyscale and sepia: two techniques over one input. Pick one with
// --technique (Greyscale is the first and so the default).

texture Input : InputTexture0;

sampler InputSampler = sampler_state
{
    Texture = <Input>;
    MinFilter = Point;
    MagFilter = Point;
    AddressU = Clamp;
    AddressV = Clamp;
};

float4 Grey(float2 uv : TEXCOORD0) : COLOR0
{
    float4 c = tex2D(InputSampler, uv);
    // Rec. 601 luma weights
    float y = dot(c.rgb, float3(0.299, 0.587, 0.114));
    return float4(y, y, y, c.a);
}

float4 Sepia(float2 uv : TEXCOORD0) : COLOR0
{
    float4 c = tex2D(InputSampler, uv);
    float3 toned = float3(dot(c.rgb, float3(0.393, 0.769, 0.189)),
                          dot(c.rgb, float3(0.349, 0.686, 0.168)),
                          dot(c.rgb, float3(0.272, 0.534, 0.131)));
    return float4(saturate(toned), c.a);
}

technique Greyscale
{
    pass P0
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Grey();
    }
}

technique Sepia
{
    pass P0
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Sepia();
    }
}
