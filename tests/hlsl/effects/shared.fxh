// Shared by included.fx: a structure and two functions.
struct Grade
{
    float3 lift;
    float gain;
};

float Luma(float3 c)
{
    return dot(c, float3(0.299, 0.587, 0.114));
}

float3 Apply(Grade g, float3 c)
{
    return lerp(Luma(c).xxx, c, g.gain) + g.lift;
}
