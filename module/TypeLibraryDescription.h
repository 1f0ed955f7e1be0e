#pragma once

// The server's type library, described once. The build-time generator writes
// Quorvel.tlb from this, and the DLL embeds it as resource "TYPELIB" 1.
// Apart from the two coclasses the library holds no types of its own: their
// single default interface is IUnknown, referenced from stdole2.tlb.

#include "transform/MediaTransform.h"

#include <windows.h>

namespace quorvel::typelib {

struct Coclass {
    const wchar_t* name;
    const CLSID* clsid;
    const wchar_t* helpString;
};

inline constexpr wchar_t kName[] = L"Quorvel";
inline constexpr wchar_t kHelpString[] = L"Quorvel 1.0 Type Library";
inline constexpr const GUID* kLibid = &LIBID_Quorvel;
inline constexpr WORD kMajor = 1;
inline constexpr WORD kMinor = 0;
inline constexpr LCID kLcid = 0x409;
inline constexpr wchar_t kImport[] = L"stdole2.tlb";

inline constexpr Coclass kCoclasses[] = {
    {L"CShaderEffect", &CLSID_CShaderEffect, L"ShaderEffect Class"},
    {L"CShaderTransition", &CLSID_CShaderTransition, L"ShaderTransition Class"},
};

} // namespace quorvel::typelib
