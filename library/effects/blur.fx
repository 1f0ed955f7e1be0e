// Blur: a nine-tap box of output pixels spread "BlurRadius" pixels apart
// ("PixelSize" gives one pixel).
//!render --semantic BlurRadius=0.0..4.0

texture Input : InputTexture0;
float4 Pixel : PixelSize;
float Radius : BlurRadius = 2.0;

sampler InputSampler = sampler_state
{
    Texture = <Input>;
    MinFilter = Linear;
    MagFilter = Linear;
    AddressU = Clamp;
    AddressV = Clamp;
};

technique Blur
{
    pass P0
    {
        Sampler[0] = <InputSampler>;
        PixelShaderConstantF[0] = <Pixel>;
        PixelShaderConstantF[1] = <Radius>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            def c2, 0.11111111, -1.0, 0.0, 1.0
            dcl t0.xy
            dcl_2d s0
            // Each read gets a register of its own: writing one register
            // again would make every later read a dependent one, and ps_2_0
            // allows only third-order dependency.
            // step = radius * pixel
            mul r0.xy, c0, c1.x
            mov r1.xy, t0
            mov r1.zw, c2.z
            texld r9, r1, s0
            // left and right
            add r1.x, t0.x, -r0.x
            texld r2, r1, s0
            add r9, r9, r2
            add r1.x, t0.x, r0.x
            texld r3, r1, s0
            add r9, r9, r3
            // the row above
            add r1.y, t0.y, -r0.y
            texld r4, r1, s0
            add r9, r9, r4
            mov r1.x, t0.x
            texld r5, r1, s0
            add r9, r9, r5
            add r1.x, t0.x, -r0.x
            texld r6, r1, s0
            add r9, r9, r6
            // the row below
            add r1.y, t0.y, r0.y
            texld r7, r1, s0
            add r9, r9, r7
            mov r1.x, t0.x
            texld r8, r1, s0
            add r9, r9, r8
            add r1.x, t0.x, r0.x
            texld r10, r1, s0
            add r9, r9, r10
            mul r9, r9, c2.x
            mov oC0, r9
        };
    }
}
