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

technique Iris
{
    pass P0
    {
        Sampler[0] = <FromSampler>;
        Sampler[1] = <ToSampler>;
        PixelShaderConstantF[0] = <Progress>;
        PixelShaderConstantF[1] = <Size>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            // c2: centre, a quarter, edge width, 1 / edge width.
            def c2, 0.5, 0.25, 0.04, 25.0
            def c3, 1.0, 0.12, -0.04, 0.0
            dcl t0.xy
            dcl_2d s0
            dcl_2d s1
            texld r0, t0, s0
            texld r1, t0, s1
            // aspect = width / height
            rcp r5.x, c1.y
            mul r5.x, r5.x, c1.x
            // distance from the centre, x scaled by the aspect
            add r2.xy, t0, -c2.x
            mul r2.x, r2.x, r5.x
            mul r2.xy, r2, r2
            add r2.x, r2.x, r2.y
            rsq r2.x, r2.x
            rcp r2.x, r2.x
            // largest distance: 0.5 * sqrt(aspect^2 + 1)
            mad r6.x, r5.x, r5.x, c3.x
            mul r6.x, r6.x, c2.y
            rsq r6.x, r6.x
            rcp r6.x, r6.x
            // radius = Time * (largest + 3 edges) - edge
            add r6.x, r6.x, c3.y
            mad r6.x, c0.x, r6.x, c3.z
            add r3.x, r6.x, -r2.x
            mul_sat r3.x, r3.x, c2.w
            lrp r4, r3.x, r1, r0
            mov oC0, r4
        };
    }
}
