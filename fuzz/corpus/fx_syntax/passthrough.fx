texture Input : InputTexture0;
sampler Source = sampler_state { Texture = <Input>; MinFilter = Point; MagFilter = Point; };
float Time : Time;
float4 Tint = {1, 0.5, 0.25, 1};
technique Main
{
    pass P0
    {
        CullMode = None;
        ZEnable = false;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
        Sampler[0] = <Source>;
        PixelShaderConstantF[0] = <Tint>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            dcl t0.xy
            dcl_2d s0
            texld r0, t0, s0
            mul r0, r0, c0
            mov oC0, r0
        };
    }
}
