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

technique Tint
{
    pass P0
    {
        Sampler[0] = <InputSampler>;
        PixelShaderConstantF[0] = <Tint>;
        PixelShaderConstantF[1] = <Amount>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            def c2, 0.299, 0.587, 0.114, 2.0
            dcl t0.xy
            dcl_2d s0
            texld r0, t0, s0
            // brightness, doubled so a mid-grey gives the full tint
            dp3 r1.x, r0, c2
            mul r1.x, r1.x, c2.w
            mul_sat r2, r1.x, c0
            lrp r3, c1.x, r2, r0
            mov r3.w, r0.w
            mov oC0, r3
        };
    }
}
