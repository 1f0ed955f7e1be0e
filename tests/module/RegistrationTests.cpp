// Self-registration of the built DLL in the test prefix's real registry, with
// Wine's own regsvr32 and CoCreateInstance.

#include "tests/module/ModuleTestSupport.h"

#include "transform/MediaTransform.h"

#include <objbase.h>
#include <ocidl.h>
#include <shlwapi.h>

#include <vector>

using moduletest::KeyExists;
using moduletest::LoadedServer;
using moduletest::ReadString;
using moduletest::ServerPath;
using moduletest::SubkeyNames;
using moduletest::ValueNames;

namespace {

const std::wstring kAppId = L"{CD741A0D-2754-4ee0-B4F1-1297C65692A2}";
const std::wstring kLibid = L"{CD741A0D-2754-4EE0-B4F1-1297C65692A2}";
const std::wstring kTypeLibKey = L"TypeLib\\" + kLibid;

struct ClassNames {
    std::wstring clsid;
    std::wstring progId;
    std::wstring independent;
    std::wstring friendly;
};
const ClassNames kEffect = {L"{5988528C-9E46-48dd-A91A-07C6EF376454}", L"Quorvel.ShaderEffect.1",
                            L"Quorvel.ShaderEffect", L"CShaderEffect Object"};
const ClassNames kTransition = {L"{E874FB80-A720-4e4a-B8F7-76100A068148}",
                                L"Quorvel.ShaderTransition.1", L"Quorvel.ShaderTransition",
                                L"CShaderTransition Object"};

// One expected value: key, value name (null for the unnamed value), data.
struct Entry {
    std::wstring key;
    const wchar_t* name;
    std::wstring data;
};

std::vector<Entry> ClassEntries(const ClassNames& c) {
    const std::wstring k = L"CLSID\\" + c.clsid;
    return {
        {c.progId, nullptr, c.friendly},
        {c.progId + L"\\CLSID", nullptr, c.clsid},
        {c.independent, nullptr, c.friendly},
        {c.independent + L"\\CLSID", nullptr, c.clsid},
        {c.independent + L"\\CurVer", nullptr, c.progId},
        {k, nullptr, c.friendly},
        {k + L"\\ProgID", nullptr, c.progId},
        {k + L"\\VersionIndependentProgID", nullptr, c.independent},
        {k + L"\\InprocServer32", nullptr, ServerPath()},
        {k + L"\\InprocServer32", L"ThreadingModel", L"apartment"},
        {k, L"AppID", kAppId},
        {k + L"\\TypeLib", nullptr, kLibid},
    };
}

std::vector<Entry> AllEntries() {
    std::vector<Entry> entries = {
        {L"AppID\\" + kAppId, nullptr, L"Quorvel"},
        {L"AppID\\Quorvel.DLL", L"AppID", kAppId},
    };
    for (const auto* c : {&kEffect, &kTransition})
        for (auto& e : ClassEntries(*c))
            entries.push_back(std::move(e));
    return entries;
}

// Every key that the scripts write below HKCR, CLSID and AppID.
std::vector<std::wstring> ScriptKeys() {
    std::vector<std::wstring> keys = {L"AppID\\" + kAppId, L"AppID\\Quorvel.DLL"};
    for (const auto* c : {&kEffect, &kTransition})
        for (const auto& key : {c->progId, c->independent, L"CLSID\\" + c->clsid})
            keys.push_back(key);
    return keys;
}

// The spelling of the last part of a key, as the registry stores it.
std::wstring StoredName(const std::wstring& key) {
    const size_t slash = key.rfind(L'\\');
    const std::wstring parent = slash == std::wstring::npos ? L"" : key.substr(0, slash);
    const std::wstring child = key.substr(slash == std::wstring::npos ? 0 : slash + 1);
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, parent.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return L"<no parent>";
    std::wstring found = L"<missing>";
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumKeyExW(opened, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (_wcsicmp(name, child.c_str()) == 0) {
            found = name;
            break;
        }
    }
    ::RegCloseKey(opened);
    return found;
}

void ExpectRegistered(int line) {
    SCOPED_TRACE(testing::Message() << "checked from line " << line);
    for (const auto& e : AllEntries()) {
        EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, e.key, e.name).value_or(L"<missing>"), e.data)
            << testing::PrintToString(e.key);
        const size_t slash = e.key.rfind(L'\\');
        EXPECT_EQ(StoredName(e.key), e.key.substr(slash == std::wstring::npos ? 0 : slash + 1));
    }
    for (const auto* c : {&kEffect, &kTransition}) {
        const std::wstring k = L"CLSID\\" + c->clsid;
        EXPECT_EQ(SubkeyNames(HKEY_CLASSES_ROOT, k),
                  L"InprocServer32,ProgID,Programmable,TypeLib,VersionIndependentProgID");
        EXPECT_EQ(ValueNames(HKEY_CLASSES_ROOT, k), L"@,AppID");
        EXPECT_EQ(ValueNames(HKEY_CLASSES_ROOT, k + L"\\Programmable"), L"");
        EXPECT_EQ(SubkeyNames(HKEY_CLASSES_ROOT, k + L"\\Programmable"), L"");
        EXPECT_EQ(ValueNames(HKEY_CLASSES_ROOT, k + L"\\InprocServer32"), L"@,ThreadingModel");
        EXPECT_EQ(SubkeyNames(HKEY_CLASSES_ROOT, c->progId), L"CLSID");
        EXPECT_EQ(SubkeyNames(HKEY_CLASSES_ROOT, c->independent), L"CLSID,CurVer");
    }
    EXPECT_EQ(ValueNames(HKEY_CLASSES_ROOT, L"AppID\\Quorvel.DLL"), L"AppID");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kTypeLibKey + L"\\1.0\\409\\win64", nullptr)
                  .value_or(L"<missing>"),
              ServerPath());
}
#define EXPECT_REGISTERED() ExpectRegistered(__LINE__)

void ExpectUnregistered(int line) {
    SCOPED_TRACE(testing::Message() << "checked from line " << line);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID"));
    for (const auto& key : ScriptKeys())
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << testing::PrintToString(key);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey + L"\\1.0"));
}
#define EXPECT_UNREGISTERED() ExpectUnregistered(__LINE__)

DWORD RunRegsvr32(const std::wstring& arguments) {
    std::wstring command = L"regsvr32.exe " + arguments + L" \"" + ServerPath() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return 0xFFFF0001;
    ::WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xFFFF0002;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

// Leaves the registry without our entries whatever a test did.
class Registration : public testing::Test {
  protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        for (const auto& key : ScriptKeys())
            ::SHDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        ::SHDeleteKeyW(HKEY_CLASSES_ROOT, kTypeLibKey.c_str());
    }
};

TEST_F(Registration, Regsvr32WritesEveryEntryAndRemovesThem) {
    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
    EXPECT_REGISTERED();

    CLSID clsid = {};
    EXPECT_EQ(::CLSIDFromProgID(L"Quorvel.ShaderTransition", &clsid), S_OK);
    EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_CShaderTransition));
    EXPECT_EQ(::CLSIDFromProgID(L"Quorvel.ShaderEffect.1", &clsid), S_OK);
    EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_CShaderEffect));

    // Registering again deletes each class key first: a stray entry goes.
    HKEY stray = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT,
                                (L"CLSID\\" + kEffect.clsid + L"\\Stray").c_str(), 0, nullptr, 0,
                                KEY_WRITE, nullptr, &stray, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(stray);
    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
    EXPECT_REGISTERED();

    ASSERT_EQ(RunRegsvr32(L"/u /s"), 0u);
    EXPECT_UNREGISTERED();
    // Unregistering what is not there is not an error.
    EXPECT_EQ(RunRegsvr32(L"/u /s"), 0u);
    EXPECT_UNREGISTERED();
}

TEST_F(Registration, CoCreateInstanceGivesWorkingObjects) {
    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    struct Row {
        const CLSID* clsid;
        UINT32 inputs;
    };
    for (const Row& row : {Row{&CLSID_CShaderEffect, 1}, Row{&CLSID_CShaderTransition, 2}}) {
        IMediaTransform* transform = nullptr;
        ASSERT_EQ(::CoCreateInstance(*row.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaTransform,
                                     reinterpret_cast<void**>(&transform)),
                  S_OK);
        UINT32 count = 0;
        EXPECT_EQ(transform->GetInputCount(&count), S_OK);
        EXPECT_EQ(count, row.inputs);
        // On a registered server the class information comes from the registered library.
        IProvideClassInfo* provide = nullptr;
        ASSERT_EQ(
            transform->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide)),
            S_OK);
        ITypeInfo* info = nullptr;
        ASSERT_EQ(provide->GetClassInfo(&info), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(::IsEqualGUID(attr->guid, *row.clsid));
        info->ReleaseTypeAttr(attr);
        info->Release();
        provide->Release();
        EXPECT_EQ(transform->Release(), 0u);
    }
    ::CoUninitialize();
    ASSERT_EQ(RunRegsvr32(L"/u /s"), 0u);
    EXPECT_UNREGISTERED();
}

TEST_F(Registration, ThreadLocaleComesBackAfterEachCall) {
    LoadedServer server;
    ASSERT_TRUE(server.loaded());
    const LCID german = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
    const LCID saved = ::GetThreadLocale();
    ASSERT_TRUE(::SetThreadLocale(german));
    EXPECT_EQ(server.Register(), S_OK);
    EXPECT_EQ(::GetThreadLocale(), german);
    EXPECT_REGISTERED();
    EXPECT_EQ(server.Unregister(), S_OK);
    EXPECT_EQ(::GetThreadLocale(), german);
    EXPECT_UNREGISTERED();
    ::SetThreadLocale(saved);
}

// The one class script spells each identifier from a parameter: every place
// it lands must name the class's constant, whatever the text looks like.
TEST_F(Registration, IdentifiersInTheRegistryAreTheClassConstants) {
    LoadedServer server;
    ASSERT_TRUE(server.loaded());
    ASSERT_EQ(server.Register(), S_OK);
    struct Row {
        const CLSID* clsid;
        const ClassNames* names;
    };
    for (const Row& row :
         {Row{&CLSID_CShaderEffect, &kEffect}, Row{&CLSID_CShaderTransition, &kTransition}}) {
        SCOPED_TRACE(testing::PrintToString(row.names->progId));
        wchar_t text[40];
        ASSERT_GT(::StringFromGUID2(*row.clsid, text, 40), 0);
        const std::wstring key = L"CLSID\\" + std::wstring(text);
        EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, key + L"\\ProgID", nullptr).value_or(L"<missing>"),
                  row.names->progId);
        for (const std::wstring& progId : {row.names->progId, row.names->independent}) {
            const std::wstring named =
                ReadString(HKEY_CLASSES_ROOT, progId + L"\\CLSID", nullptr).value_or(L"");
            CLSID parsed = {};
            EXPECT_EQ(::CLSIDFromString(named.c_str(), &parsed), S_OK)
                << testing::PrintToString(named);
            EXPECT_TRUE(::IsEqualCLSID(parsed, *row.clsid)) << testing::PrintToString(named);
        }
    }
    EXPECT_EQ(server.Unregister(), S_OK);
}

// A pre-existing volatile key cannot hold the non-volatile subkey the script
// writes: registration fails there, part-way.
struct FailureCase {
    const wchar_t* volatileKey;
    const wchar_t* writtenBefore;
    const wchar_t* notWritten;
};
const FailureCase kFailures[] = {
    {L"Quorvel.ShaderEffect.1", L"AppID\\Quorvel.DLL", L"Quorvel.ShaderEffect"},
    {L"Quorvel.ShaderEffect", L"Quorvel.ShaderEffect.1\\CLSID",
     L"CLSID\\{5988528C-9E46-48dd-A91A-07C6EF376454}"},
    {L"Quorvel.ShaderTransition.1", L"CLSID\\{5988528C-9E46-48dd-A91A-07C6EF376454}\\TypeLib",
     L"Quorvel.ShaderTransition"},
    {L"Quorvel.ShaderTransition", L"Quorvel.ShaderTransition.1\\CLSID",
     L"CLSID\\{E874FB80-A720-4e4a-B8F7-76100A068148}"},
};

TEST_F(Registration, FailedWriteKeepsWhatWasWrittenAndRestoresTheLocale) {
    const LCID german = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
    const LCID saved = ::GetThreadLocale();
    for (const auto& failure : kFailures) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(failure.volatileKey)));
        Clean();
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, failure.volatileKey, 0, nullptr,
                                    REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
        {
            LoadedServer server;
            ASSERT_TRUE(server.loaded());
            ASSERT_TRUE(::SetThreadLocale(german));
            EXPECT_EQ(server.Register(), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
            EXPECT_EQ(::GetThreadLocale(), german);
            EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, failure.writtenBefore));
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, failure.notWritten));
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey + L"\\1.0"));
            // Unregistering after a partial registration removes what exists.
            EXPECT_EQ(server.Unregister(), S_OK);
            EXPECT_EQ(::GetThreadLocale(), german);
            EXPECT_UNREGISTERED();
        }
        ::SetThreadLocale(saved);
    }
}

// A library registration whose file is gone cannot be undone: unregistering
// stops before the AppID entries and still restores the locale.
TEST_F(Registration, FailedUnregisterStopsBeforeTheAppIdAndRestoresTheLocale) {
    LoadedServer server;
    ASSERT_TRUE(server.loaded());
    ASSERT_EQ(server.Register(), S_OK);
    const std::wstring win64 = kTypeLibKey + L"\\1.0\\409\\win64";
    const wchar_t missing[] = L"C:\\quorvel-missing\\Missing.tlb";
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CLASSES_ROOT, win64.c_str(), 0, KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(missing),
                               sizeof(missing)),
              ERROR_SUCCESS);
    ::RegCloseKey(key);

    const LCID german = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
    const LCID saved = ::GetThreadLocale();
    ASSERT_TRUE(::SetThreadLocale(german));
    EXPECT_TRUE(FAILED(server.Unregister()));
    EXPECT_EQ(::GetThreadLocale(), german);
    ::SetThreadLocale(saved);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kEffect.clsid));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTransition.progId));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID\\Quorvel.DLL"));
}

// A copy of the DLL whose full path takes exactly `length` characters.
std::wstring CopyServerToPathOfLength(const testing_support::ScratchFolder& scratch,
                                      size_t length) {
    const std::wstring name = L"\\Quorvel.dll";
    std::wstring folder = scratch.path();
    while (folder.size() + name.size() < length) {
        const size_t room = length - folder.size() - name.size();
        // Each part of at most 100 characters, and never a lone separator.
        const size_t part = room > 101 ? 100 : room - 1;
        if (room == 1)
            return L"";
        folder += L"\\" + std::wstring(part, L'p');
        testing_support::CreateFolders(folder);
    }
    const std::wstring path = folder + name;
    return ::CopyFileW(ServerPath().c_str(), path.c_str(), FALSE) ? path : L"";
}

TEST_F(Registration, PathThatFillsTheBufferIsRefused) {
    testing_support::ScratchFolder scratch;
    struct Row {
        size_t length;
        HRESULT hr;
    };
    for (const Row& row :
         {Row{MAX_PATH, HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)}, Row{MAX_PATH - 1, S_OK}}) {
        SCOPED_TRACE(row.length);
        const std::wstring path = CopyServerToPathOfLength(scratch, row.length);
        ASSERT_EQ(path.size(), row.length);
        HMODULE module = ::LoadLibraryW(path.c_str());
        ASSERT_NE(module, nullptr);
        wchar_t loaded[1024];
        ASSERT_EQ(::GetModuleFileNameW(module, loaded, 1024), row.length);
        auto doRegister = reinterpret_cast<moduletest::DllFunctionFn>(
            ::GetProcAddress(module, "DllRegisterServer"));
        auto doUnregister = reinterpret_cast<moduletest::DllFunctionFn>(
            ::GetProcAddress(module, "DllUnregisterServer"));
        ASSERT_TRUE(doRegister && doUnregister);
        EXPECT_EQ(doRegister(), row.hr);
        if (SUCCEEDED(row.hr))
            EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT,
                                 L"CLSID\\" + kEffect.clsid + L"\\InprocServer32", nullptr)
                          .value_or(L"<missing>"),
                      path);
        else
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"AppID\\Quorvel.DLL"));
        EXPECT_EQ(doUnregister(), row.hr);
        ::FreeLibrary(module);
        Clean();
    }
}

// GetClassInfo of a new object of the loaded server's class.
void ExpectClassInfoOf(HMODULE module, REFCLSID clsid) {
    auto getClassObject = reinterpret_cast<moduletest::DllGetClassObjectFn>(
        ::GetProcAddress(module, "DllGetClassObject"));
    ASSERT_NE(getClassObject, nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IProvideClassInfo* provide = nullptr;
    ASSERT_EQ(
        factory->CreateInstance(nullptr, IID_IProvideClassInfo, reinterpret_cast<void**>(&provide)),
        S_OK);
    factory->Release();
    ITypeInfo* info = nullptr;
    EXPECT_EQ(provide->GetClassInfo(&info), S_OK);
    if (info) {
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(::IsEqualGUID(attr->guid, clsid));
        info->ReleaseTypeAttr(attr);
        info->Release();
    }
    EXPECT_EQ(provide->Release(), 0u);
}

// A copy of the DLL whose "TYPELIB" resource is unusable: registration takes the
// library from the .tlb file beside it, and fails without one.
TEST_F(Registration, TypeLibraryFromTheFileBesideTheDll) {
    testing_support::ScratchFolder scratch;
    const std::wstring copy = scratch / L"Quorvel.dll";
    const std::wstring beside = scratch / L"Quorvel.tlb";
    ASSERT_TRUE(::CopyFileW(ServerPath().c_str(), copy.c_str(), FALSE));
    std::string library;
    WORD language = 0;
    {
        HMODULE original =
            ::LoadLibraryExW(ServerPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(original, nullptr);
        HRSRC resource = ::FindResourceW(original, MAKEINTRESOURCEW(1), L"TYPELIB");
        ASSERT_NE(resource, nullptr);
        const char* bytes =
            static_cast<const char*>(::LockResource(::LoadResource(original, resource)));
        library.assign(bytes, ::SizeofResource(original, resource));
        ::EnumResourceLanguagesW(
            original, L"TYPELIB", MAKEINTRESOURCEW(1),
            [](HMODULE, LPCWSTR, LPCWSTR, WORD found, LONG_PTR out) -> BOOL {
                *reinterpret_cast<WORD*>(out) = found;
                return FALSE;
            },
            reinterpret_cast<LONG_PTR>(&language));
        ::FreeLibrary(original);
    }
    HANDLE update = ::BeginUpdateResourceW(copy.c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    // Not a type library any more (Wine keeps a resource that is deleted this way).
    char garbage[] = "not a type library";
    ASSERT_TRUE(::UpdateResourceW(update, L"TYPELIB", MAKEINTRESOURCEW(1), language, garbage,
                                  sizeof(garbage)));
    ASSERT_TRUE(::EndUpdateResourceW(update, FALSE));
    struct Row {
        bool withFile;
        bool succeeds;
    };
    for (const Row& row : {Row{false, false}, Row{true, true}}) {
        SCOPED_TRACE(row.withFile);
        if (row.withFile) {
            ASSERT_TRUE(testing_support::WriteFileBytes(beside, library));
        }
        HMODULE module = ::LoadLibraryW(copy.c_str());
        ASSERT_NE(module, nullptr);
        ITypeLib* embedded = nullptr;
        ASSERT_TRUE(FAILED(::LoadTypeLibEx(copy.c_str(), REGKIND_NONE, &embedded)));
        auto doRegister = reinterpret_cast<moduletest::DllFunctionFn>(
            ::GetProcAddress(module, "DllRegisterServer"));
        auto doUnregister = reinterpret_cast<moduletest::DllFunctionFn>(
            ::GetProcAddress(module, "DllUnregisterServer"));
        ASSERT_TRUE(doRegister && doUnregister);
        const HRESULT hr = doRegister();
        EXPECT_EQ(SUCCEEDED(hr), row.succeeds) << std::hex << hr;
        // The scripts ran before the library step either way.
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kTransition.clsid));
        if (row.succeeds) {
            wchar_t full[MAX_PATH];
            ASSERT_NE(::GetModuleFileNameW(module, full, MAX_PATH), 0u);
            std::wstring expected = full;
            expected.replace(expected.size() - 4, 4, L".tlb");
            EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kTypeLibKey + L"\\1.0\\409\\win64", nullptr)
                          .value_or(L"<missing>"),
                      expected);
            // The class information can now only come through the registered library.
            ExpectClassInfoOf(module, CLSID_CShaderTransition);
            EXPECT_EQ(doUnregister(), S_OK);
            EXPECT_UNREGISTERED();
        } else {
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey + L"\\1.0"));
            EXPECT_EQ(doUnregister(), hr);
        }
        ::FreeLibrary(module);
        Clean();
    }
}

} // namespace
