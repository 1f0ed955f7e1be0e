// The two inputs of a transition and the values every transition reads.
// A family file includes this once ("../include/transition.fxh", relative to
// the including file) and binds the values to shader constants in its passes.

texture From : InputTexture0;
texture To : InputTexture1;
float Progress : Time;
float4 Size : OutputSize;

// Point sampling and clamped edges: a copy of an input is exact.
sampler FromSampler = sampler_state
{
    Texture = <From>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

sampler ToSampler = sampler_state
{
    Texture = <To>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};
