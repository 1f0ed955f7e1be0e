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

technique Greyscale
{
    pass P0
    {
        Sampler[0] = <InputSampler>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            // Rec. 601 luma weights
            def c0, 0.299, 0.587, 0.114, 0.0
            dcl t0.xy
            dcl_2d s0
            texld r0, t0, s0
            dp3 r1.x, r0, c0
            mov r1.xyz, r1.x
            mov r1.w, r0.w
            mov oC0, r1
        };
    }
}

technique Sepia
{
    pass P0
    {
        Sampler[0] = <InputSampler>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            def c0, 0.393, 0.769, 0.189, 0.0
            def c1, 0.349, 0.686, 0.168, 0.0
            def c2, 0.272, 0.534, 0.131, 0.0
            dcl t0.xy
            dcl_2d s0
            texld r0, t0, s0
            dp3_sat r1.x, r0, c0
            dp3_sat r1.y, r0, c1
            dp3_sat r1.z, r0, c2
            mov r1.w, r0.w
            mov oC0, r1
        };
    }
}
