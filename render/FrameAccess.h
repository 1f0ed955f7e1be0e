#pragma once

// The host's frames as Direct3D 9 surfaces and textures.

#include <unknwn.h>
#include <windows.h>

#include <d3d9.h>

// E_POINTER for a null frame or out-pointer; *surface is nulled first. rect,
// when given, receives (0, 0, width, height) of the frame's surface.
HRESULT GetFrameSurface(IUnknown* frame, IDirect3DSurface9** surface, RECT* rect);
// The texture whose level is the frame's surface.
HRESULT GetFrameTexture(IUnknown* frame, IDirect3DTexture9** texture, RECT* rect);
