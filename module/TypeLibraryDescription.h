#pragma once

// The server's type library, described once. The build-time generator writes
// Quorvel.tlb from this, and the DLL embeds it as resource "TYPELIB" 1.
// Apart from the two coclasses the library holds no types of its own: their
// single default interface is IUnknown, referenced from stdole2.tlb.

#include "com/ProvideClassInfo.h"
#include "transform/MediaTransform.h"

#include <windows.h>

namespace quorvel {

struct TypeLibraryCoclass {
    const wchar_t* name;
    const CLSID* clsid;
    const wchar_t* helpString;
};

struct TypeLibraryDescription {
    const wchar_t* name;
    const wchar_t* helpString;
    const GUID* libid;
    WORD major;
    WORD minor;
    LCID lcid;
    // The library whose IUnknown the coclasses reference.
    const wchar_t* import;
};

inline constexpr TypeLibraryDescription kTypeLibrary = {
    L"Quorvel",    L"Quorvel 1.0 Type Library", &LIBID_Quorvel, 1, 0, kTypeLibraryLcid,
    L"stdole2.tlb"};

inline constexpr TypeLibraryCoclass kTypeLibraryCoclasses[] = {
    {L"CShaderEffect", &CLSID_CShaderEffect, L"ShaderEffect Class"},
    {L"CShaderTransition", &CLSID_CShaderTransition, L"ShaderTransition Class"},
};

} // namespace quorvel
