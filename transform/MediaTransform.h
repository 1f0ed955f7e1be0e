#pragma once

// The host's transform interfaces and the server's identifiers.

#include <unknwn.h>
#include <windows.h>

#include "transform/MediaTime.h"

struct IDirect3DDevice9;

// {C2DB9835-1146-4B10-A7BB-73619125B026}
inline constexpr IID IID_IMediaTransform = {
    0xC2DB9835, 0x1146, 0x4B10, {0xA7, 0xBB, 0x73, 0x61, 0x91, 0x25, 0xB0, 0x26}};
// {E91DF3CA-7D03-498A-B1E8-A9E2B1346A00}
inline constexpr IID IID_IMediaDevice = {
    0xE91DF3CA, 0x7D03, 0x498A, {0xB1, 0xE8, 0xA9, 0xE2, 0xB1, 0x34, 0x6A, 0x00}};
// {8EAED93D-03E7-451D-8C18-733B5CFDB453}
inline constexpr IID IID_IMediaFrame = {
    0x8EAED93D, 0x03E7, 0x451D, {0x8C, 0x18, 0x73, 0x3B, 0x5C, 0xFD, 0xB4, 0x53}};

// {5988528C-9E46-48DD-A91A-07C6EF376454}
inline constexpr CLSID CLSID_CShaderEffect = {
    0x5988528C, 0x9E46, 0x48DD, {0xA9, 0x1A, 0x07, 0xC6, 0xEF, 0x37, 0x64, 0x54}};
// {E874FB80-A720-4E4A-B8F7-76100A068148}
inline constexpr CLSID CLSID_CShaderTransition = {
    0xE874FB80, 0xA720, 0x4E4A, {0xB8, 0xF7, 0x76, 0x10, 0x0A, 0x06, 0x81, 0x48}};
// {CD741A0D-2754-4EE0-B4F1-1297C65692A2}: the type library and the AppID.
inline constexpr GUID LIBID_Quorvel = {
    0xCD741A0D, 0x2754, 0x4EE0, {0xB4, 0xF1, 0x12, 0x97, 0xC6, 0x56, 0x92, 0xA2}};

struct IMediaDevice : public IUnknown {
    // 1 and 2: not called by the transforms.
    virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved2() = 0;
    // 3: a referenced device for the caller.
    virtual HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) = 0;
};

struct IMediaFrame : public IUnknown {
    // 1 and 2: not called by the transforms.
    virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved2() = 0;
    // 3: a referenced pointer to the frame's Direct3D 9 surface.
    virtual HRESULT STDMETHODCALLTYPE GetSurface(IUnknown** surface) = 0;
};

struct IMediaTransform : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetInputCount(UINT32* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Render(IUnknown* deviceSource, const MediaTime* position,
                                             MediaTime duration, IUnknown** inputs,
                                             INT32 inputCount, IUnknown* output) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOutputCount(UINT32* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFlags(UINT32 selector, UINT32* flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(IUnknown* host) = 0;
};
