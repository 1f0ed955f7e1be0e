// How the loaded DLL ends: at process exit it calls into no other module (the
// loader lock is held and they may be gone); a FreeLibrary unload still frees
// the pipeline library and releases the cached type information.

#include "tests/module/ModuleTestSupport.h"

#include "transform/MediaTransform.h"

#include <ocidl.h>
#include <oleauto.h>

#include <cstring>
#include <string>

using moduletest::ServerPath;

namespace {

using DllGetClassObjectFn = moduletest::DllGetClassObjectFn;
using FreeLibraryFn = BOOL(WINAPI*)(HMODULE);
using ReleaseFn = ULONG(STDMETHODCALLTYPE*)(IUnknown*);

constexpr wchar_t kMarkerVariable[] = L"QUORVEL_EXIT_MARKER";

// Every call the server makes into another module at its end goes here.
HANDLE g_marker = INVALID_HANDLE_VALUE;
FreeLibraryFn g_freeLibrary = nullptr;
ReleaseFn g_release = nullptr;
void* g_typeInfoTable[22]; // IUnknown and ITypeInfo

void Mark(const char* text) {
    DWORD written = 0;
    ::WriteFile(g_marker, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

BOOL WINAPI RecordingFreeLibrary(HMODULE module) {
    Mark("FreeLibrary\n");
    return g_freeLibrary(module);
}

ULONG STDMETHODCALLTYPE RecordingRelease(IUnknown* object) {
    Mark("ITypeInfo::Release\n");
    return g_release(object);
}

// Points the module's import of `function` from `library` at `replacement`.
bool HookImport(HMODULE module, const char* library, const char* function, void* replacement,
                void** original) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name; ++import) {
        if (_stricmp(reinterpret_cast<const char*>(base + import->Name), library) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0)
                continue;
            DWORD protection = 0;
            if (!::VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection))
                return false;
            *original = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            ::VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
            return true;
        }
    }
    return false;
}

// Loads the server with its FreeLibrary import recorded, makes a transition
// (which loads the pipeline library) and fills the type-information cache,
// whose Release is then recorded too. Leaves the object and `info` alive.
int StartServer(HMODULE& server, IMediaTransform*& transform, ITypeInfo*& info) {
    wchar_t marker[MAX_PATH];
    if (!::GetEnvironmentVariableW(kMarkerVariable, marker, MAX_PATH))
        return 20;
    g_marker =
        ::CreateFileW(marker, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (g_marker == INVALID_HANDLE_VALUE)
        return 21;
    server = ::LoadLibraryW(ServerPath().c_str());
    if (!server)
        return 22;
    if (!HookImport(server, "kernel32.dll", "FreeLibrary",
                    reinterpret_cast<void*>(&RecordingFreeLibrary),
                    reinterpret_cast<void**>(&g_freeLibrary)))
        return 23;
    auto getClassObject =
        reinterpret_cast<DllGetClassObjectFn>(::GetProcAddress(server, "DllGetClassObject"));
    IClassFactory* factory = nullptr;
    if (!getClassObject || FAILED(getClassObject(CLSID_CShaderTransition, IID_IClassFactory,
                                                 reinterpret_cast<void**>(&factory))))
        return 24;
    const HRESULT hr =
        factory->CreateInstance(nullptr, IID_IMediaTransform, reinterpret_cast<void**>(&transform));
    factory->Release();
    if (FAILED(hr) || !::GetModuleHandleW(L"Pipeline.dll"))
        return 25;
    IProvideClassInfo* provide = nullptr;
    if (FAILED(
            transform->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide))))
        return 26;
    const HRESULT classInfo = provide->GetClassInfo(&info);
    provide->Release();
    if (FAILED(classInfo) || !info)
        return 27;
    // Our own table for this one object, so only its Release is recorded.
    void** table = *reinterpret_cast<void***>(info);
    std::memcpy(g_typeInfoTable, table, sizeof(g_typeInfoTable));
    g_release = reinterpret_cast<ReleaseFn>(table[2]);
    g_typeInfoTable[2] = reinterpret_cast<void*>(&RecordingRelease);
    *reinterpret_cast<void***>(info) = g_typeInfoTable;
    return 0;
}

QUORVEL_CHILD_SCENARIO(ExitWithObjectsAlive) {
    HMODULE server = nullptr;
    IMediaTransform* transform = nullptr;
    ITypeInfo* info = nullptr;
    if (const int failed = StartServer(server, transform, info))
        return failed;
    ::ExitProcess(0);
}

QUORVEL_CHILD_SCENARIO(FreeLibraryWhenUnloadable) {
    HMODULE server = nullptr;
    IMediaTransform* transform = nullptr;
    ITypeInfo* info = nullptr;
    if (const int failed = StartServer(server, transform, info))
        return failed;
    if (transform->Release() != 0)
        return 2;
    auto canUnloadNow =
        reinterpret_cast<moduletest::DllFunctionFn>(::GetProcAddress(server, "DllCanUnloadNow"));
    if (!canUnloadNow || canUnloadNow() != S_OK)
        return 3;
    if (testing_support::RefCount(info) != 2) // the cache's and ours
        return 4;
    if (!::FreeLibrary(server))
        return 5;
    if (::GetModuleHandleW(ServerPath().c_str()) || ::GetModuleHandleW(L"Pipeline.dll"))
        return 6;
    // The cache let its reference go.
    return info->Release() == 0 ? 0 : 7;
}

std::string ReadMarker(const std::wstring& path) {
    std::string text;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<no marker file>";
    char buffer[256];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    ::CloseHandle(file);
    return text;
}

TEST(ModuleExit, ProcessExitCallsIntoNoOtherModule) {
    testing_support::ScratchFolder scratch;
    const std::wstring marker = scratch / L"calls.txt";
    EXPECT_EQ(testing_support::RunChild("ExitWithObjectsAlive",
                                        {std::wstring(kMarkerVariable) + L"=" + marker}),
              0u);
    EXPECT_EQ(ReadMarker(marker), "");
}

TEST(ModuleExit, FreeLibraryUnloadFreesThePipelineAndReleasesTypeInformation) {
    testing_support::ScratchFolder scratch;
    const std::wstring marker = scratch / L"calls.txt";
    EXPECT_EQ(testing_support::RunChild("FreeLibraryWhenUnloadable",
                                        {std::wstring(kMarkerVariable) + L"=" + marker}),
              0u);
    // Our count check, the cache's release, the pipeline library, our last release.
    EXPECT_EQ(ReadMarker(marker),
              "ITypeInfo::Release\nITypeInfo::Release\nFreeLibrary\nITypeInfo::Release\n");
}

} // namespace
