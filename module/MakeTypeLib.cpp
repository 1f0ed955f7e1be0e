// Build-time tool, run under Wine: writes the server's type library from its
// description with CreateTypeLib2, so that the coclasses reference IUnknown in
// the imported stdole2.tlb instead of carrying copies of it.
// Usage: MakeTypeLib OUTPUT.tlb

#include "com/ComPtr.h"
#include "com/HResult.h"
#include "module/TypeLibraryDescription.h"

#include <oaidl.h>
#include <oleauto.h>

#include <cstdio>

namespace {

using quorvel::ComPtr;
using quorvel::kTypeLibrary;

HRESULT AddCoclass(ICreateTypeLib2* library, ITypeInfo* unknown,
                   const quorvel::TypeLibraryCoclass& coclass) {
    ComPtr<ICreateTypeInfo> info;
    RETURN_IF_FAILED(
        library->CreateTypeInfo(const_cast<LPOLESTR>(coclass.name), TKIND_COCLASS, info.put()));
    RETURN_IF_FAILED(info->SetGuid(*coclass.clsid));
    RETURN_IF_FAILED(info->SetVersion(kTypeLibrary.major, kTypeLibrary.minor));
    RETURN_IF_FAILED(info->SetDocString(const_cast<LPOLESTR>(coclass.helpString)));
    RETURN_IF_FAILED(info->SetTypeFlags(TYPEFLAG_FCANCREATE));
    HREFTYPE reference = 0;
    RETURN_IF_FAILED(info->AddRefTypeInfo(unknown, &reference));
    RETURN_IF_FAILED(info->AddImplType(0, reference));
    RETURN_IF_FAILED(info->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT));
    return info->LayOut();
}

HRESULT WriteLibrary(const wchar_t* path) {
    ComPtr<ITypeLib> stdole;
    RETURN_IF_FAILED(::LoadTypeLib(kTypeLibrary.import, stdole.put()));
    ComPtr<ITypeInfo> unknown;
    RETURN_IF_FAILED(stdole->GetTypeInfoOfGuid(IID_IUnknown, unknown.put()));

    ComPtr<ICreateTypeLib2> library;
    RETURN_IF_FAILED(::CreateTypeLib2(SYS_WIN64, path, library.put()));
    RETURN_IF_FAILED(library->SetName(const_cast<LPOLESTR>(kTypeLibrary.name)));
    RETURN_IF_FAILED(library->SetGuid(*kTypeLibrary.libid));
    RETURN_IF_FAILED(library->SetVersion(kTypeLibrary.major, kTypeLibrary.minor));
    RETURN_IF_FAILED(library->SetLcid(kTypeLibrary.lcid));
    RETURN_IF_FAILED(library->SetDocString(const_cast<LPOLESTR>(kTypeLibrary.helpString)));
    for (const auto& coclass : quorvel::kTypeLibraryCoclasses)
        RETURN_IF_FAILED(AddCoclass(library.get(), unknown.get(), coclass));
    return library->SaveAllChanges();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: MakeTypeLib OUTPUT.tlb\n");
        return 2;
    }
    const HRESULT hr = WriteLibrary(argv[1]);
    if (FAILED(hr)) {
        std::fprintf(stderr, "MakeTypeLib: failed with 0x%08lX\n", static_cast<unsigned long>(hr));
        return 1;
    }
    return 0;
}
