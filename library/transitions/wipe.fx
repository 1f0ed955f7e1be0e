// Directional wipe with a soft edge. "WipeDirection" (x, y) points the way the
// edge travels; keep |x| + |y| = 1. The edge is a tenth of the picture wide.
//!render --semantic WipeDirection:vector=0.7071,0.2929

texture From : InputTexture0;
texture To : InputTexture1;
float Progress : Time;
float4 Direction : WipeDirection = { 1.0, 0.0, 0.0, 0.0 };

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

static const float Edge = 0.1;

float4 Main(float2 uv : TEXCOORD0) : COLOR0
{
    // how far along the direction this pixel lies, 0.5 at the centre
    float along = dot(uv - 0.5, Direction.xy) + 0.5;
    float edge = Progress * (1.0 + 3.0 * Edge) - Edge;
    float shown = saturate((edge - along) / Edge);
    return lerp(tex2D(FromSampler, uv), tex2D(ToSampler, uv), shown);
}

technique Wipe
{
    pass P0
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Main();
    }
}
