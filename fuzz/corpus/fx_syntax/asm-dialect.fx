PixelShader Shared = asm {
    ps_2_0
    def c1, -1.5500992e-006, -2.1701389e-005, 0.0026041667, 0.00026041668
    def c2, -0.020833334, -0.12500000, 1.0, .5E+0
    dcl t0.xy
    dcl_2d s0
    texld r0, t0, s0   // first level
    sincos r1.xy, r0.x, c1, c2
    mov oC0, r1.xyxy
};
technique T { pass { PixelShader = <Shared>; } pass { VertexShader = asm { vs_3_0 dcl_position v0 dcl_position o0 mov o0, v0 };
    PixelShader = asm { ps_3_0 dcl vPos.xy dcl vFace mov r0, c0 mul r0.xy, vPos, c0 mov oC0, r0 }; } }
