// Push: the second input slides in from the right and pushes the first out
// to the left.

texture From : InputTexture0;
texture To : InputTexture1;
float Progress : Time;

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

technique Push
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            def c1, -1.0, 0.0, 0.0, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            mov r0, c1.y
            mov r1, c1.y
            add r0.x, t0.x, c0.x
            mov r0.y, t0.y
            add r1.x, r0.x, c1.x
            mov r1.y, t0.y
            texld r2, r0, s0
            texld r3, r1, s1
            cmp r4, r1.x, r3, r2
            mov oC0, r4
        };
    }
}
