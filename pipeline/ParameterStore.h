#pragma once

// The host's parameter store, as the transform objects call it. The store is
// made by the host's pipeline library; methods are listed at their vtable
// positions, and positions this system never calls hold placeholders.

#include <propidl.h>
#include <unknwn.h>
#include <windows.h>

// {F580B977-A21B-46A2-AA17-4821CD085E15}
inline constexpr GUID SID_ParameterStore = {
    0xF580B977, 0xA21B, 0x46A2, {0xAA, 0x17, 0x48, 0x21, 0xCD, 0x08, 0x5E, 0x15}};
// {53A1D53F-FE38-429A-A7C2-40DD18F97786}
inline constexpr IID IID_IParameterGroup = {
    0x53A1D53F, 0xFE38, 0x429A, {0xA7, 0xC2, 0x40, 0xDD, 0x18, 0xF9, 0x77, 0x86}};
// The host fixes no identifiers for these two; the store answers its own.
// {E05066DA-E7FF-405B-9D85-F788633BE1BE}
inline constexpr IID IID_IParameterStore = {
    0xE05066DA, 0xE7FF, 0x405B, {0x9D, 0x85, 0xF7, 0x88, 0x63, 0x3B, 0xE1, 0xBE}};
// {BC2BD9D9-1A3B-4C6E-8024-6757806BCF9D}
inline constexpr IID IID_IParameter = {
    0xBC2BD9D9, 0x1A3B, 0x4C6E, {0x80, 0x24, 0x67, 0x57, 0x80, 0x6B, 0xCF, 0x9D}};

// Capacity, in UTF-16 units with the terminator, of the buffer handed to GetName.
inline constexpr UINT32 kParameterNameCapacity = 128;

struct IParameter : public IUnknown {
    // 1
    virtual HRESULT STDMETHODCALLTYPE GetName(WCHAR* name, UINT32* capacity) = 0;
    // 2 to 8: not called by the transforms.
    virtual HRESULT STDMETHODCALLTYPE Reserved2() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    // 9: the value at a time; value is passed in empty and the caller clears it.
    virtual HRESULT STDMETHODCALLTYPE GetValue(double time, PROPVARIANT* value) = 0;
};

struct IParameterGroup : public IUnknown {
    // 1: not called by the transforms.
    virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
    // 2
    virtual HRESULT STDMETHODCALLTYPE GetCount(INT32* count) = 0;
    // 3
    virtual HRESULT STDMETHODCALLTYPE GetItem(INT32 index, IParameter** item) = 0;
};

struct IParameterStore : public IUnknown {
    // 1 to 3: not called by the transforms.
    virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved2() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
    // 4
    virtual HRESULT STDMETHODCALLTYPE GetParameter(const WCHAR* name, IParameter** parameter) = 0;
};

// The pipeline library's table of creation functions; only entry 3 is called.
using PipelineCreateFunction = HRESULT(WINAPI*)();
using CreateParameterStoreFunction = HRESULT(WINAPI*)(IParameterStore** store);

struct PipelineCreateFunctions {
    PipelineCreateFunction entry1;
    PipelineCreateFunction entry2;
    CreateParameterStoreFunction createParameterStore;
    PipelineCreateFunction entry4;
    PipelineCreateFunction entry5;
    PipelineCreateFunction entry6;
    PipelineCreateFunction entry7;
};
static_assert(sizeof(PipelineCreateFunctions) == 56, "seven pointers, as the library expects");

// The library's export, called once per process with (1, 56, table).
using GetPipelineCreateFunctionsFunction = HRESULT(WINAPI*)(UINT32 version, UINT32 size,
                                                            PipelineCreateFunctions* table);
inline constexpr char kGetPipelineCreateFunctionsName[] = "GetPipelineCreateFunctions";
