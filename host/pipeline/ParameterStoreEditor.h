#pragma once

// The host side's way to fill a stand-in parameter store: queried from the
// store by IID_IParameterStoreEditor. Nothing in Quorvel.dll uses it.

#include "pipeline/ParameterStore.h"

// {CCB06936-6287-47E1-B32F-399C6E3C7380}
inline constexpr IID IID_IParameterStoreEditor = {
    0xCCB06936, 0x6287, 0x47E1, {0xB3, 0x2F, 0x39, 0x9C, 0x6E, 0x3C, 0x73, 0x80}};

// Values vary with time through keyframes: between two keyframes VT_R4, VT_R8
// and VT_VECTOR|VT_R4 (of equal length) interpolate linearly, other kinds hold
// the earlier keyframe's value; before the first and after the last keyframe
// the nearest one holds. A parameter with no keyframe reads as VT_EMPTY.
// A group is a parameter with children; `group` names it, created on first use.
struct IParameterStoreEditor : public IUnknown {
    // Replaces every keyframe of the parameter with one constant value.
    virtual HRESULT STDMETHODCALLTYPE SetValue(const WCHAR* name, const PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddKeyframe(const WCHAR* name, double time,
                                                  const PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetChildValue(const WCHAR* group, const WCHAR* child,
                                                    const PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddChildKeyframe(const WCHAR* group, const WCHAR* child,
                                                       double time, const PROPVARIANT* value) = 0;
    // Removes a top-level parameter; S_FALSE when there was none.
    virtual HRESULT STDMETHODCALLTYPE Remove(const WCHAR* name) = 0;
};

// Pipeline.dll's own export, for hosts that want a store without the table.
extern "C" HRESULT WINAPI PipelineCreateParameterStore(IParameterStore** store);
