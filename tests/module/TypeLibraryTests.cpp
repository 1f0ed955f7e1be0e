// The type library embedded in the built DLL, as a client reads it.

#include "tests/module/ModuleTestSupport.h"

#include "transform/MediaTransform.h"

#include <oaidl.h>
#include <oleauto.h>

namespace {

// {00020430-0000-0000-C000-000000000046}
constexpr GUID kStdOleLibid = {
    0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::wstring Bstr(BSTR value) {
    std::wstring text = value ? value : L"";
    ::SysFreeString(value);
    return text;
}

TEST(TypeLibrary, ExactlyTheTwoCoclassesOverStdOleIUnknown) {
    ITypeLib* library = nullptr;
    ASSERT_EQ(::LoadTypeLibEx(moduletest::ServerPath().c_str(), REGKIND_NONE, &library), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(::IsEqualGUID(attr->guid, LIBID_Quorvel));
    EXPECT_EQ(attr->lcid, 0x409u);
    EXPECT_EQ(attr->syskind, SYS_WIN64);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    library->ReleaseTLibAttr(attr);

    BSTR name = nullptr, doc = nullptr, helpFile = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &doc, nullptr, &helpFile), S_OK);
    EXPECT_EQ(Bstr(name), L"Quorvel");
    EXPECT_EQ(Bstr(doc), L"Quorvel 1.0 Type Library");
    EXPECT_EQ(Bstr(helpFile), L"");

    ASSERT_EQ(library->GetTypeInfoCount(), 2u);
    struct Row {
        const CLSID* clsid;
        const wchar_t* name;
        const wchar_t* help;
    };
    const Row rows[] = {
        {&CLSID_CShaderEffect, L"CShaderEffect", L"ShaderEffect Class"},
        {&CLSID_CShaderTransition, L"CShaderTransition", L"ShaderTransition Class"}};
    for (UINT index = 0; index < 2; ++index) {
        const Row& row = rows[index];
        ITypeInfo* info = nullptr;
        ASSERT_EQ(library->GetTypeInfo(index, &info), S_OK);
        TYPEATTR* type = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
        EXPECT_TRUE(::IsEqualGUID(type->guid, *row.clsid));
        EXPECT_EQ(type->typekind, TKIND_COCLASS);
        EXPECT_EQ(type->wTypeFlags, TYPEFLAG_FCANCREATE);
        EXPECT_EQ(type->wMajorVerNum, 1);
        EXPECT_EQ(type->wMinorVerNum, 0);
        EXPECT_EQ(type->cImplTypes, 1);
        info->ReleaseTypeAttr(type);
        ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr), S_OK);
        EXPECT_EQ(Bstr(name), row.name);
        EXPECT_EQ(Bstr(doc), row.help);

        INT flags = 0;
        ASSERT_EQ(info->GetImplTypeFlags(0, &flags), S_OK);
        EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
        HREFTYPE reference = 0;
        ASSERT_EQ(info->GetRefTypeOfImplType(0, &reference), S_OK);
        ITypeInfo* unknown = nullptr;
        ASSERT_EQ(info->GetRefTypeInfo(reference, &unknown), S_OK);
        ASSERT_EQ(unknown->GetTypeAttr(&type), S_OK);
        EXPECT_TRUE(::IsEqualGUID(type->guid, IID_IUnknown));
        unknown->ReleaseTypeAttr(type);
        // IUnknown lives in stdole2.tlb, not in a copy of ours.
        ITypeLib* container = nullptr;
        UINT containerIndex = 0;
        ASSERT_EQ(unknown->GetContainingTypeLib(&container, &containerIndex), S_OK);
        ASSERT_EQ(container->GetLibAttr(&attr), S_OK);
        EXPECT_TRUE(::IsEqualGUID(attr->guid, kStdOleLibid));
        container->ReleaseTLibAttr(attr);
        container->Release();
        unknown->Release();
        info->Release();
    }
    EXPECT_EQ(library->Release(), 0u);
}

} // namespace
