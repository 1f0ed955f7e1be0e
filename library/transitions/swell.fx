// Swell: the first input bulges, shrinks into the centre and uncovers the
// second. A vertex shader moves the grid, so it needs more than the default
// four vertices; the second pass draws the first input over the second.
//!render --grid 24x18

texture From : InputTexture0;
texture To : InputTexture1;
float Progress : Time;

sampler FromSampler = sampler_state
{
    Texture = <From>;
    MinFilter = Linear;
    MagFilter = Linear;
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
    return tex2D(ToSampler, uv);
}

float4 Over(float2 uv : TEXCOORD0) : COLOR0
{
    return tex2D(FromSampler, uv);
}

technique Swell
{
    pass Under
    {
        ZEnable = false;
        CullMode = None;
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Under();
    }
    pass Over
    {
        VertexShaderConstantF[0] = <Progress>;
        ZEnable = false;
        CullMode = None;
        VertexShader = asm
        {
            vs_2_0
            def c10, 1.0, 0.5, 0.0, 0.0
            dcl_position v0
            dcl_texcoord v1
            // s = 1 - t; y += 0.5 t s (1 - x^2); then scale by s
            // (t copied first: vs_2_0 reads one constant register an instruction)
            mov r2.x, c0.x
            add r1.x, c10.x, -r2.x
            mul r1.y, r1.x, c0.x
            mul r1.z, v0.x, v0.x
            add r1.z, c10.x, -r1.z
            mul r1.z, r1.z, r1.y
            mov r0.xy, v0
            mad r0.y, r1.z, c10.y, r0.y
            mul r0.xy, r0, r1.x
            mov r0.zw, c10.zx
            mov oPos, r0
            mov oT0, v1
        };
        PixelShader = compile ps_2_0 Over();
    }
}
