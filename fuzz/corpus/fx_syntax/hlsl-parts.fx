struct VsOut { float4 p : POSITION; float2 uv : TEXCOORD0; };
typedef float4 colour;
static const float k[2] = { 0.5, float(1) };
row_major float4x4 M;
float4x4 WorldViewProjection : WorldViewProjection;
colour f(float x);
inline float g(float x) { if (x > 0 && !(x >= 1)) { return x % 2; } return -x; }
VsOut Vs(float4 p : POSITION, float2 uv : TEXCOORD0) { VsOut o; o.p = mul(p, WorldViewProjection); o.uv = uv; return o; }
float4 Ps(float2 uv : TEXCOORD0, uniform float s = 1) : COLOR0 { return float4(uv, g(s), k[1]); }
VertexShader V = compile vs_2_0 Vs();
technique T { pass { VertexShader = <V>; PixelShader = compile ps_2_0 Ps(-0.5); } }
