// Run by installer_test.py inside a prefix where the package is installed:
// the host's view of the installed server. Both classes come from the registry
// (CoCreateInstance), and a library transition is named relative to the
// product folder, as a host names it.
//   QUORVEL_TEST_EFFECT     the effect's name relative to the product folder
//   QUORVEL_TEST_TECHNIQUE  its technique
//   QUORVEL_TEST_VERSION    the version the installed DLL must carry (X.Y.Z)

#include "tests/e2e/E2ESupport.h"

#include "host/render/Transform.h"
#include "transform/MediaTransform.h"

#include <objbase.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

namespace {

using e2e::ComPtr;
using quorvelrender::Session;

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[512];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 512);
    return (n == 0 || n >= 512) ? std::wstring() : std::wstring(buffer, n);
}

std::wstring ProductFolder() {
    wchar_t buffer[MAX_PATH];
    const DWORD n =
        ::ExpandEnvironmentStringsW(L"%ProgramFiles%\\Tavimark\\Quorvel", buffer, MAX_PATH);
    return (n == 0 || n > MAX_PATH) ? std::wstring() : std::wstring(buffer);
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The file Quorvel.dll was loaded from in this process, or empty.
std::wstring LoadedServerPath() {
    HMODULE module = ::GetModuleHandleW(L"Quorvel.dll");
    if (!module)
        return std::wstring();
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(module, path, MAX_PATH);
    return (n == 0 || n >= MAX_PATH) ? std::wstring() : std::wstring(path, n);
}

class ComApartment : public ::testing::Environment {
  public:
    void SetUp() override {
        // The stand-in effect framework beside this program, loaded first so
        // the installed server's import binds to it: a server that COM loads
        // by its full path never searches the program's folder.
        m_framework = ::LoadLibraryW(L"d3dx9_30.dll");
        ASSERT_NE(m_framework, nullptr);
        ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    }
    void TearDown() override { ::CoUninitialize(); }

  private:
    HMODULE m_framework = nullptr;
};
const auto* const g_apartment = ::testing::AddGlobalTestEnvironment(new ComApartment);

struct ClassCase {
    const wchar_t* progId;
    const wchar_t* versionedProgId;
    const CLSID* clsid;
};

class InstalledClass : public ::testing::TestWithParam<ClassCase> {};

TEST_P(InstalledClass, ComesFromTheProductFolderThroughTheRegistry) {
    const ClassCase c = GetParam();
    CLSID fromProgId = {}, fromVersioned = {};
    ASSERT_EQ(::CLSIDFromProgID(c.progId, &fromProgId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(fromProgId, *c.clsid));
    ASSERT_EQ(::CLSIDFromProgID(c.versionedProgId, &fromVersioned), S_OK);
    EXPECT_TRUE(IsEqualCLSID(fromVersioned, *c.clsid));

    IMediaTransform* transform = nullptr;
    ASSERT_EQ(::CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaTransform,
                                 reinterpret_cast<void**>(&transform)),
              S_OK);
    ASSERT_NE(transform, nullptr);
    const std::wstring loaded = LoadedServerPath();
    EXPECT_TRUE(SamePath(loaded, ProductFolder() + L"\\Quorvel.dll"))
        << "loaded from " << std::string(loaded.begin(), loaded.end());
    EXPECT_EQ(transform->Release(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    BothClasses, InstalledClass,
    ::testing::Values(ClassCase{L"Quorvel.ShaderEffect", L"Quorvel.ShaderEffect.1",
                                &CLSID_CShaderEffect},
                      ClassCase{L"Quorvel.ShaderTransition", L"Quorvel.ShaderTransition.1",
                                &CLSID_CShaderTransition}));

TEST(InstalledServer, CarriesTheVersionResource) {
    const std::wstring path = ProductFolder() + L"\\Quorvel.dll";
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    wchar_t version[64];
    std::swprintf(version, 64, L"%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(std::wstring(version), Environment(L"QUORVEL_TEST_VERSION"));
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    const struct {
        const wchar_t* name;
        std::wstring expected;
    } strings[] = {{L"CompanyName", L"Tavimark"},
                   {L"ProductName", L"Quorvel"},
                   {L"FileVersion", Environment(L"QUORVEL_TEST_VERSION")},
                   {L"ProductVersion", Environment(L"QUORVEL_TEST_VERSION")}};
    for (const auto& s : strings) {
        wchar_t* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + s.name;
        ASSERT_TRUE(
            ::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length))
            << std::string(query.begin(), query.end());
        EXPECT_EQ(std::wstring(text), s.expected);
    }
}

// The transition at Time 0 and Time 1 gives exactly its first and second input.
TEST(InstalledServer, RendersALibraryTransitionNamedRelativeToTheProductFolder) {
    const std::wstring effect = Environment(L"QUORVEL_TEST_EFFECT");
    ASSERT_FALSE(effect.empty());
    ASSERT_EQ(effect.find(L':'), std::wstring::npos) << "the name must be relative";
    ASSERT_NE(e2e::Device(), nullptr);
    const UINT w = 160, h = 120;
    const std::vector<DWORD> a = e2e::Pattern(w, h, 4), b = e2e::Pattern(w, h, 5);
    ComPtr<IDirect3DTexture9> in0, in1, output;
    ASSERT_EQ(e2e::Upload(a, w, h, in0.put()), S_OK);
    ASSERT_EQ(e2e::Upload(b, w, h, in1.put()), S_OK);
    ASSERT_EQ(e2e::Target(w, h, output.put()), S_OK);

    Session session;
    ASSERT_EQ(session.Open(e2e::Device(), std::wstring(), true, true), S_OK);
    for (const quorvelrender::HostParameter& p :
         {e2e::Text(L"ShaderFilename", effect),
          e2e::Text(L"Technique", Environment(L"QUORVEL_TEST_TECHNIQUE"))})
        ASSERT_EQ(quorvelrender::PutParameter(session.editor(), nullptr, p), S_OK);
    ASSERT_EQ(session.Initialize(), S_OK);
    EXPECT_TRUE(SamePath(LoadedServerPath(), ProductFolder() + L"\\Quorvel.dll"));

    const MediaTime duration = quorvelrender::TickTime(10 * quorvelrender::kTicksPerFrame);
    const struct {
        MediaTime position;
        const std::vector<DWORD>* expected;
    } frames[] = {{quorvelrender::TickTime(0), &a}, {duration, &b}};
    for (const auto& f : frames) {
        ASSERT_EQ(session.Render(f.position, duration, in0.get(), in1.get(), output.get()), S_OK);
        EXPECT_TRUE(e2e::Read(output.get()) == *f.expected);
    }
    session.Close();
}

} // namespace
