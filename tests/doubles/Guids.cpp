// The Direct3D and D3DX interface identifiers the fakes answer. Defined here
// as selectany, so a program that defines them elsewhere too still links.

#include <initguid.h>

#include <d3d9.h>
#include <d3dx9effect.h>
