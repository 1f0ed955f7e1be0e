// Shifted: a vs_2_0 vertex shader takes the grid through the host's
// world-view-projection matrix and scales and moves the texture coordinates
// (by parameters with defaults, the offset growing with Time), so the pixel
// shader reads the input magnified about a moving point.
texture Input : InputTexture0;
float4x4 WorldViewProjection : WorldViewProjection;
float Progress : Time;
float2 Zoom = {0.6, 0.75};
float2 Drift = {0.3, -0.2};

sampler InputSampler = sampler_state
{
    Texture = <Input>;
    MinFilter = Linear;
    MagFilter = Linear;
    AddressU = Mirror;
    AddressV = Mirror;
};

struct Vertex
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

Vertex Move(Vertex v)
{
    Vertex o;
    o.position = mul(v.position, WorldViewProjection);
    o.uv = (v.uv - 0.5) * Zoom + 0.5 + Drift * Progress;
    return o;
}

float4 Show(float2 uv : TEXCOORD0) : COLOR0
{
    return tex2D(InputSampler, uv);
}

technique Shifted
{
    pass P0
    {
        VertexShader = compile vs_2_0 Move();
        PixelShader = compile ps_2_0 Show();
    }
}
