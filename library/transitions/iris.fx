// Iris: the second input opens in a growing circle from the centre.

texture From : InputTexture0;
texture To : InputTexture1;
float Progress : Time;
float4 Size : OutputSize;

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

static const float Edge = 0.04;

float4 Main(float2 uv : TEXCOORD0) : COLOR0
{
    float2 size = Size.xy;
    float aspect = size.x / size.y;
    // distance from the centre, x scaled by the aspect
    float2 d = uv - 0.5;
    d.x *= aspect;
    float away = length(d);
    float largest = 0.5 * sqrt(aspect * aspect + 1.0);
    // the radius runs from one edge inside the centre to the corners
    float radius = Progress * (largest + 3.0 * Edge) - Edge;
    float opened = saturate((radius - away) / Edge);
    return lerp(tex2D(FromSampler, uv), tex2D(ToSampler, uv), opened);
}

technique Iris
{
    pass P0
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Main();
    }
}
