// Pixelate: the picture breaks into blocks of up to 32 output pixels
// ("PixelSize" gives one pixel) and resolves again into the second input.

texture From : InputTexture0;
texture To : InputTexture1;
float Progress : Time;
float4 Pixel : PixelSize;

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
    // blocks of 1 + 124 t (1 - t) pixels: 32 at the middle
    float block = (1.0 - Progress) * Progress * 124.0 + 1.0;
    float2 size = block * Pixel.xy;
    // the centre of the block this pixel lies in
    float2 centre = (floor(uv / size) + 0.5) * size;
    return lerp(tex2D(FromSampler, centre), tex2D(ToSampler, centre), Progress);
}

technique Pixelate
{
    pass P0
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Main();
    }
}
