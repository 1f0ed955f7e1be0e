#include "a.fxh"
float x;
technique T { pass P { PixelShader = NULL; } }
#include "a.fxh"
float y : Y;
