// Included: the grading comes from an included file; the amount follows
// Time, from a lift towards blue and no colour at all to full colour.
#include "shared.fxh"

texture Input : InputTexture0;
float Progress : Time;
float3 Lift = {0.0, 0.02, 0.1};

sampler InputSampler = sampler_state
{
    Texture = <Input>;
    MinFilter = Point;
    MagFilter = Point;
};

float4 Graded(float2 uv : TEXCOORD0) : COLOR0
{
    Grade g;
    g.lift = Lift * (1.0 - Progress);
    g.gain = Progress;
    float4 c = tex2D(InputSampler, uv);
    return float4(Apply(g, c.rgb), c.a);
}

technique Included
{
    pass P0
    {
        PixelShader = compile ps_2_0 Graded();
    }
}
