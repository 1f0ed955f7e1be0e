// The pipeline loader against the real registry and real files. The loader
// runs once per process, so every case runs its checks in a child process.

#include "pipeline/PipelineLibrary.h"
#include "transform/ShaderBase.h"

#include "tests/support/TestSupport.h"

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using testing_support::RunChild;
using testing_support::ScratchFolder;

namespace {

constexpr WCHAR kKey[] = L"Software\\Microsoft\\GPUPipeline";

#define CHILD_CHECK(cond)                                                                          \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "%s:%d: child check failed: %s\n", __FILE__, __LINE__, #cond);         \
            return 1;                                                                              \
        }                                                                                          \
    } while (0)

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[2048] = L"";
    ::GetEnvironmentVariableW(name, buffer, 2048);
    return buffer;
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
    auto identity = [](const std::wstring& path, BY_HANDLE_FILE_INFORMATION* info) {
        HANDLE file = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        const BOOL ok = ::GetFileInformationByHandle(file, info);
        ::CloseHandle(file);
        return ok != FALSE;
    };
    BY_HANDLE_FILE_INFORMATION x, y;
    return identity(a, &x) && identity(b, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

std::wstring LoadedPipelinePath() {
    HMODULE module = ::GetModuleHandleW(L"Pipeline.dll");
    if (!module)
        return L"";
    wchar_t path[MAX_PATH];
    return ::GetModuleFileNameW(module, path, MAX_PATH) ? path : L"";
}

class TestShaderBase : public CShaderBase {
  public:
    IParameterStore* store() const { return m_spParameterStore.get(); }
};

// The library loads from QV_EXPECT_DLL (or the program's folder when unset)
// and gives every object a store of its own.
QUORVEL_CHILD_SCENARIO(loads) {
    PipelineCreateFunctions functions = {};
    CHILD_CHECK(PipelineLibrary::GetCreateFunctions(nullptr) == E_POINTER);
    CHILD_CHECK(SUCCEEDED(PipelineLibrary::GetCreateFunctions(&functions)));
    CHILD_CHECK(functions.createParameterStore != nullptr);

    std::wstring expected = Environment(L"QV_EXPECT_DLL");
    if (expected.empty())
        expected = testing_support::ProgramFolder() + L"Pipeline.dll";
    CHILD_CHECK(SameFile(LoadedPipelinePath(), expected));

    TestShaderBase first, second;
    CHILD_CHECK(first.store() != nullptr);
    CHILD_CHECK(second.store() != nullptr);
    CHILD_CHECK(first.store() != second.store());

    // Loaded once for all of them.
    using Count = LONG(WINAPI*)();
    if (auto count = reinterpret_cast<Count>(
            ::GetProcAddress(::GetModuleHandleW(L"Pipeline.dll"), "VariantPipelineCallCount")))
        CHILD_CHECK(count() == 1);
    return 0;
}

// A failed load: the library is gone, every request reports the load failure,
// and objects come up without a store.
QUORVEL_CHILD_SCENARIO(fails) {
    PipelineCreateFunctions functions;
    functions.createParameterStore = reinterpret_cast<CreateParameterStoreFunction>(1);
    CHILD_CHECK(PipelineLibrary::GetCreateFunctions(&functions) == E_PIPELINE_NOT_LOADED);
    CHILD_CHECK(PipelineLibrary::GetCreateFunctions(&functions) == E_PIPELINE_NOT_LOADED);
    CHILD_CHECK(::GetModuleHandleW(L"Pipeline.dll") == nullptr);

    IParameterStore* store = reinterpret_cast<IParameterStore*>(1);
    CHILD_CHECK(PipelineLibrary::CreateParameterStore(&store) == E_PIPELINE_NOT_LOADED);

    TestShaderBase object;
    CHILD_CHECK(object.store() == nullptr);
    void* out = reinterpret_cast<void*>(1);
    CHILD_CHECK(object.QueryService(SID_ParameterStore, IID_IUnknown, &out) == E_NOINTERFACE);
    CHILD_CHECK(out == nullptr);
    return 0;
}

QUORVEL_CHILD_SCENARIO(null_entry) {
    PipelineCreateFunctions functions = {};
    CHILD_CHECK(PipelineLibrary::GetCreateFunctions(&functions) == S_OK);
    IParameterStore* store = nullptr;
    CHILD_CHECK(PipelineLibrary::CreateParameterStore(&store) == E_POINTER);
    CHILD_CHECK(store == nullptr);
    // The library stays loaded.
    CHILD_CHECK(::GetModuleHandleW(L"Pipeline.dll") != nullptr);
    return 0;
}

// Sixteen threads make the first request at once: one load.
QUORVEL_CHILD_SCENARIO(race) {
    HANDLE start = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::thread> threads;
    std::vector<IParameterStore*> stores(16, nullptr);
    std::vector<HRESULT> results(16, E_FAIL);
    for (int i = 0; i < 16; ++i)
        threads.emplace_back([&, i] {
            ::WaitForSingleObject(start, INFINITE);
            results[i] = PipelineLibrary::CreateParameterStore(&stores[i]);
        });
    ::SetEvent(start);
    for (auto& t : threads)
        t.join();
    ::CloseHandle(start);
    for (int i = 0; i < 16; ++i) {
        CHILD_CHECK(results[i] == S_OK);
        CHILD_CHECK(stores[i] != nullptr);
        for (int j = 0; j < i; ++j)
            CHILD_CHECK(stores[i] != stores[j]);
    }
    for (IParameterStore* s : stores)
        s->Release();
    using Count = LONG(WINAPI*)();
    auto count = reinterpret_cast<Count>(
        ::GetProcAddress(::GetModuleHandleW(L"Pipeline.dll"), "VariantPipelineCallCount"));
    CHILD_CHECK(count && count() == 1);
    return 0;
}

enum class Library { Variant, NoExport };

void CopyLibrary(Library which, const std::wstring& folder) {
    const std::wstring source =
        testing_support::ProgramFolder() +
        (which == Library::Variant ? L"PipelineVariant.dll" : L"PipelineNoExport.dll");
    ASSERT_TRUE(::CopyFileW(source.c_str(), (folder + L"\\Pipeline.dll").c_str(), FALSE));
}

void SetValue(DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"InstallLocation", type, data, bytes),
              ERROR_SUCCESS);
}
void SetString(DWORD type, const std::wstring& text) {
    SetValue(type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

class PipelineLoader : public ::testing::Test {
  protected:
    testing_support::ScopedRegistryTree m_key{HKEY_LOCAL_MACHINE, kKey};
    ScratchFolder m_folder;
    std::wstring dll() const { return m_folder / L"Pipeline.dll"; }
};

TEST_F(PipelineLoader, WithoutKeyLoadsFromTheProgramFolder) { EXPECT_EQ(RunChild("loads"), 0u); }

TEST_F(PipelineLoader, ReadsInstallLocationOfEitherStringType) {
    CopyLibrary(Library::Variant, m_folder.path());
    struct Case {
        DWORD type;
        std::wstring value;
    } cases[] = {
        {REG_SZ, m_folder.path()},
        {REG_EXPAND_SZ, L"%QV_PIPE_DIR%"},
        // A REG_SZ value goes through the same expansion.
        {REG_SZ, L"%QV_PIPE_DIR%"},
        // One separator more than needed still loads.
        {REG_SZ, m_folder.path() + L"\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type);
        SetString(c.type, c.value);
        EXPECT_EQ(RunChild("loads", {L"QV_PIPE_DIR=" + m_folder.path(), L"QV_EXPECT_DLL=" + dll()}),
                  0u);
    }
}

TEST_F(PipelineLoader, UnusableValuesFallBackToTheProgramFolder) {
    CopyLibrary(Library::Variant, m_folder.path());
    const DWORD number = 7;
    SetValue(REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(RunChild("loads"), 0u);

    SetString(REG_SZ, L"");
    EXPECT_EQ(RunChild("loads"), 0u);

    // Unterminated within the 260-unit buffer (the registry may add a
    // terminator only where there is room), and an odd byte count.
    std::wstring folder = m_folder.path();
    folder.resize(MAX_PATH, L'\\');
    SetValue(REG_SZ, folder.c_str(), static_cast<DWORD>(MAX_PATH * sizeof(wchar_t)));
    EXPECT_EQ(RunChild("loads"), 0u);
    folder = m_folder.path();
    SetValue(REG_SZ, folder.c_str(), static_cast<DWORD>(folder.size() * sizeof(wchar_t) + 1));
    EXPECT_EQ(RunChild("loads"), 0u);

    // Longer than the 260-unit buffer.
    SetString(REG_SZ, std::wstring(300, L'x'));
    EXPECT_EQ(RunChild("loads"), 0u);
}

TEST_F(PipelineLoader, FailedLoadsLeaveObjectsWithoutStore) {
    CopyLibrary(Library::NoExport, m_folder.path());
    SetString(REG_SZ, m_folder.path());
    EXPECT_EQ(RunChild("fails"), 0u);

    // A path that does not fit: cut, not loaded, and no fallback.
    SetString(REG_SZ, L"C:\\" + std::wstring(250, L'p'));
    EXPECT_EQ(RunChild("fails"), 0u);

    // An expansion that does not fit its buffer is a failed expansion.
    SetString(REG_EXPAND_SZ, L"%QV_BIG%");
    EXPECT_EQ(RunChild("fails", {L"QV_BIG=C:\\" + std::wstring(290, L'b')}), 0u);
}

TEST_F(PipelineLoader, FailingTableExportFreesTheLibrary) {
    CopyLibrary(Library::Variant, m_folder.path());
    SetString(REG_SZ, m_folder.path());
    EXPECT_EQ(RunChild("fails", {L"QV_PIPELINE_MODE=fail"}), 0u);
}

TEST_F(PipelineLoader, NullStoreEntryKeepsTheLibrary) {
    CopyLibrary(Library::Variant, m_folder.path());
    SetString(REG_SZ, m_folder.path());
    EXPECT_EQ(RunChild("null_entry", {L"QV_PIPELINE_MODE=nullentry"}), 0u);
}

TEST_F(PipelineLoader, RacingFirstRequestsLoadOnce) {
    CopyLibrary(Library::Variant, m_folder.path());
    SetString(REG_SZ, m_folder.path());
    EXPECT_EQ(RunChild("race"), 0u);
}

} // namespace
