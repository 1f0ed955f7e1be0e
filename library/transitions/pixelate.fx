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

technique Pixelate
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        PixelShaderConstantF[1] = <Pixel>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            // c2: one, 4 * (32 - 1), a half, zero
            def c2, 1.0, 124.0, 0.5, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            // block = 1 + 124 t (1 - t) pixels
            add r0.x, c2.x, -c0.x
            mul r0.x, r0.x, c0.x
            mad r0.x, r0.x, c2.y, c2.x
            mul r1.xy, r0.x, c1
            rcp r2.x, r1.x
            rcp r2.y, r1.y
            // the centre of the block this pixel lies in
            mul r3.xy, t0, r2
            frc r4.xy, r3
            add r3.xy, r3, -r4
            add r3.xy, r3, c2.z
            mul r3.xy, r3, r1
            mov r3.zw, c2.w
            texld r5, r3, s0
            texld r6, r3, s1
            lrp r7, c0.x, r6, r5
            mov oC0, r7
        };
    }
}
