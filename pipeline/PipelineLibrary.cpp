#include "pipeline/PipelineLibrary.h"

#include "com/ComPtr.h"
#include "com/HResult.h"
#include "com/UniqueAny.h"

#include <shlwapi.h>

#include <cstdlib>
#include <cwchar>

namespace {

constexpr size_t kPathCapacity = MAX_PATH;
constexpr WCHAR kPipelineKey[] = L"Software\\Microsoft\\GPUPipeline";
constexpr WCHAR kInstallLocation[] = L"InstallLocation";
constexpr WCHAR kLibraryName[] = L"Pipeline.dll";

struct Holder {
    INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    HMODULE module = nullptr;
    PipelineCreateFunctions table = {};
};
Holder g_pipeline;

// Bounded concatenation into a buffer of kPathCapacity units: a buffer with no
// terminator is E_INVALIDARG; text that does not fit is cut to 259 characters.
HRESULT AppendBounded(WCHAR* buffer, const WCHAR* text) {
    size_t length = 0;
    while (length < kPathCapacity && buffer[length] != L'\0')
        ++length;
    RETURN_HR_IF(E_INVALIDARG, length == kPathCapacity);
    for (; *text != L'\0'; ++text) {
        if (length + 1 >= kPathCapacity) {
            buffer[kPathCapacity - 1] = L'\0';
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        buffer[length++] = *text;
    }
    buffer[length] = L'\0';
    return S_OK;
}

// The "InstallLocation" value, expanded, or an empty path when the value is
// missing or unusable.
HRESULT ReadInstallLocation(WCHAR (&path)[kPathCapacity]) {
    path[0] = L'\0';
    quorvel::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPipelineKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return S_OK;

    WCHAR value[kPathCapacity];
    DWORD type = 0;
    DWORD bytes = sizeof(value);
    const LONG status = ::RegQueryValueExW(key.get(), kInstallLocation, nullptr, &type,
                                           reinterpret_cast<BYTE*>(value), &bytes);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || bytes == 0 ||
        bytes % sizeof(WCHAR) != 0 || value[bytes / sizeof(WCHAR) - 1] != L'\0')
        return S_OK;

    const DWORD expanded = ::ExpandEnvironmentStringsW(value, path, kPathCapacity);
    if (expanded == 0 || expanded > kPathCapacity) {
        // An expansion that did not fit is a failed expansion, never a half-written path.
        path[0] = L'\0';
        return E_FAIL;
    }
    return S_OK;
}

HRESULT ExecutableFolder(WCHAR (&path)[kPathCapacity]) {
    HMODULE executable = ::GetModuleHandleW(nullptr);
    RETURN_HR_IF_NULL(E_POINTER, executable);
    RETURN_HR_IF(E_FAIL, ::GetModuleFileNameW(executable, path, kPathCapacity) == 0);
    RETURN_HR_IF(E_FAIL, !::PathRemoveFileSpecW(path));
    return S_OK;
}

HRESULT LoadPipeline(Holder& holder) {
    WCHAR path[kPathCapacity];
    RETURN_IF_FAILED(ReadInstallLocation(path));
    if (path[0] == L'\0')
        RETURN_IF_FAILED(ExecutableFolder(path));
    // Always one separator more, even after a folder that ends in one.
    RETURN_IF_FAILED(AppendBounded(path, L"\\"));
    RETURN_IF_FAILED(AppendBounded(path, kLibraryName));

    holder.module = ::LoadLibraryW(path);
    RETURN_HR_IF_NULL(E_POINTER, holder.module);
    auto getFunctions = reinterpret_cast<GetPipelineCreateFunctionsFunction>(
        ::GetProcAddress(holder.module, kGetPipelineCreateFunctionsName));
    RETURN_HR_IF_NULL(E_POINTER, getFunctions);
    const HRESULT hr = getFunctions(1, sizeof(holder.table), &holder.table);
    return FAILED(hr) ? hr : S_OK;
}

void ClearHolder(Holder& holder) {
    if (holder.module)
        ::FreeLibrary(holder.module);
    holder.module = nullptr;
    holder.table = {};
}

void UnloadAtExit() { PipelineLibrary::Unload(); }

BOOL CALLBACK LoadOnce(INIT_ONCE*, void*, void**) {
    g_pipeline.table = {};
    if (FAILED(LoadPipeline(g_pipeline)))
        ClearHolder(g_pipeline); // the load's own HRESULT is dropped
    std::atexit(UnloadAtExit);
    return TRUE;
}

} // namespace

HRESULT PipelineLibrary::GetCreateFunctions(PipelineCreateFunctions* functions) {
    // Once only, also when two threads race the first request.
    ::InitOnceExecuteOnce(&g_pipeline.once, LoadOnce, nullptr, nullptr);
    RETURN_HR_IF_NULL(E_POINTER, functions);
    RETURN_HR_IF_NULL(E_PIPELINE_NOT_LOADED, g_pipeline.module);
    *functions = g_pipeline.table;
    return S_OK;
}

HRESULT PipelineLibrary::CreateParameterStore(IParameterStore** store) {
    PipelineCreateFunctions functions;
    RETURN_IF_FAILED(GetCreateFunctions(&functions));
    RETURN_HR_IF_NULL(E_POINTER, functions.createParameterStore);
    return functions.createParameterStore(store);
}

void PipelineLibrary::Unload() { ClearHolder(g_pipeline); }

void PipelineLibrary::Abandon() {
    g_pipeline.module = nullptr;
    g_pipeline.table = {};
}

namespace quorvel {

HRESULT QueryParameterStoreService(IParameterStore* store, REFGUID service, REFIID iid,
                                   void** out) {
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    if (!::IsEqualGUID(service, SID_ParameterStore) || !store)
        return E_NOINTERFACE;
    return store->QueryInterface(iid, out);
}

HRESULT ReadNamedValue(IParameterStore* store, const WCHAR* name, PROPVARIANT* value) {
    RETURN_HR_IF_NULL(E_POINTER, store);
    quorvel::ComPtr<IParameter> parameter;
    RETURN_IF_FAILED(store->GetParameter(name, parameter.put()));
    RETURN_HR_IF_NULL(E_POINTER, parameter);
    return parameter->GetValue(0.0, value);
}

} // namespace quorvel
