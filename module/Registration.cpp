// Self-registration: the AppID script from the "REGISTRY" resource, the class
// script once per class and the type library from the "TYPELIB" resource.

#include "module/ClassRegistration.h"
#include "module/Registrar.h"
#include "module/ShaderEffectModule.h"

#include "com/CodePage.h"
#include "com/ComPtr.h"
#include "com/HResult.h"
#include "com/ProvideClassInfo.h"
#include "com/UniqueAny.h"

#include <oleauto.h>
#include <shlwapi.h>

#include <string>

namespace {

constexpr WCHAR kAppId[] = L"{CD741A0D-2754-4ee0-B4F1-1297C65692A2}";
constexpr WORD kAppIdScriptId = 201;
constexpr WCHAR kAppIdScriptType[] = L"REGISTRY";

constexpr WCHAR kClassScript[] = LR"(
key   "%ProgID%"                           @ "%FriendlyName%"
key   "%ProgID%\CLSID"                     @ "%CLSID%"
key   "%VersionIndependentProgID%"         @ "%FriendlyName%"
key   "%VersionIndependentProgID%\CLSID"   @ "%CLSID%"
key   "%VersionIndependentProgID%\CurVer"  @ "%ProgID%"
keep  "CLSID"
fresh "CLSID\%CLSID%"                           @ "%FriendlyName%"
key   "CLSID\%CLSID%\ProgID"                    @ "%ProgID%"
key   "CLSID\%CLSID%\VersionIndependentProgID"  @ "%VersionIndependentProgID%"
fresh "CLSID\%CLSID%\Programmable"
key   "CLSID\%CLSID%\%MODULETYPE%"              @ "%MODULE%"
key   "CLSID\%CLSID%\%MODULETYPE%"              "ThreadingModel" "apartment"
key   "CLSID\%CLSID%"                           "AppID" "%APPID%"
key   "CLSID\%CLSID%\TypeLib"                   @ "%MODULEGUID%"
)";

HRESULT ModulePath(WCHAR (&path)[MAX_PATH]) {
    const DWORD length = ::GetModuleFileNameW(quorvel::ModuleInstance(), path, MAX_PATH);
    RETURN_HR_IF(quorvel::HResultFromLastError(), length == 0);
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), length >= MAX_PATH);
    return S_OK;
}

HRESULT BuildParameters(quorvel::RegistryParameters& parameters) {
    WCHAR path[MAX_PATH];
    RETURN_IF_FAILED(ModulePath(path));
    WCHAR libid[40];
    RETURN_HR_IF(E_UNEXPECTED, ::StringFromGUID2(g_module.m_libid, libid, ARRAYSIZE(libid)) == 0);
    parameters[L"MODULE"] = path;
    parameters[L"MODULETYPE"] = L"InprocServer32";
    parameters[L"APPID"] = kAppId;
    parameters[L"MODULEGUID"] = libid;
    return S_OK;
}

// `parameters` holds the script's own; the module's are added.
HRESULT RunScript(std::wstring_view script, quorvel::RegistryParameters parameters,
                  bool registering) {
    COM_METHOD_BEGIN
    RETURN_IF_FAILED(BuildParameters(parameters));
    return quorvel::RunRegistryScript(HKEY_CLASSES_ROOT, script, parameters, registering);
    COM_METHOD_END
}

// The AppID script is UTF-8 text in the module's resource.
HRESULT RunAppIdScript(bool registering) {
    COM_METHOD_BEGIN
    HMODULE module = quorvel::ModuleInstance();
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(kAppIdScriptId), kAppIdScriptType);
    RETURN_HR_IF_NULL(quorvel::HResultFromLastError(), resource);
    HGLOBAL loaded = ::LoadResource(module, resource);
    RETURN_HR_IF_NULL(quorvel::HResultFromLastError(), loaded);
    const auto* bytes = static_cast<const char*>(::LockResource(loaded));
    const DWORD size = ::SizeofResource(module, resource);
    RETURN_HR_IF_NULL(E_UNEXPECTED, bytes);
    std::wstring script;
    RETURN_IF_FAILED(quorvel::Widen({bytes, size}, script, CP_UTF8, MB_ERR_INVALID_CHARS));
    return RunScript(script, {}, registering);
    COM_METHOD_END
}

// From the module's own file, else from the file beside it named .tlb.
HRESULT LoadModuleTypeLibrary(quorvel::ComPtr<ITypeLib>& library, WCHAR (&path)[MAX_PATH]) {
    RETURN_IF_FAILED(ModulePath(path));
    const HRESULT hr = ::LoadTypeLibEx(path, REGKIND_NONE, library.put());
    if (SUCCEEDED(hr))
        return hr;
    RETURN_HR_IF(hr, !::PathRenameExtensionW(path, L".tlb"));
    return ::LoadTypeLibEx(path, REGKIND_NONE, library.put());
}

HRESULT RegisterTypeLibrary() {
    quorvel::ComPtr<ITypeLib> library;
    WCHAR path[MAX_PATH];
    RETURN_IF_FAILED(LoadModuleTypeLibrary(library, path));
    WCHAR noHelpDirectory[] = L"";
    return ::RegisterTypeLib(library.get(), path, noHelpDirectory);
}

// A library that is not registered has nothing to remove, as with missing keys.
bool IsTypeLibraryRegistered() {
    WCHAR libid[40];
    if (::StringFromGUID2(g_module.m_libid, libid, ARRAYSIZE(libid)) == 0)
        return true;
    const std::wstring key = std::wstring(L"TypeLib\\") + libid + L"\\1.0\\409\\win64";
    quorvel::UniqueHKey opened;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.put()) !=
           ERROR_FILE_NOT_FOUND;
}

HRESULT UnregisterTypeLibrary() {
    quorvel::ComPtr<ITypeLib> library;
    WCHAR path[MAX_PATH];
    RETURN_IF_FAILED(LoadModuleTypeLibrary(library, path));
    if (!IsTypeLibraryRegistered())
        return S_OK;
    return ::UnRegisterTypeLib(g_module.m_libid, 1, 0, quorvel::kTypeLibraryLcid, SYS_WIN64);
}

// Registration runs in the system's default locale; the caller's comes back on every path.
class SystemLocaleScope {
  public:
    SystemLocaleScope() noexcept : m_saved(::GetThreadLocale()) {
        ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
    }
    ~SystemLocaleScope() { ::SetThreadLocale(m_saved); }
    SystemLocaleScope(const SystemLocaleScope&) = delete;
    SystemLocaleScope& operator=(const SystemLocaleScope&) = delete;

  private:
    LCID m_saved;
};

} // namespace

namespace quorvel {

HRESULT UpdateClassRegistry(const WCHAR* clsid, const WCHAR* progId,
                            const WCHAR* versionIndependentProgId, const WCHAR* friendlyName,
                            bool registering) {
    COM_METHOD_BEGIN
    RETURN_HR_IF(E_POINTER, !clsid || !progId || !versionIndependentProgId || !friendlyName);
    return RunScript(kClassScript,
                     {{L"CLSID", clsid},
                      {L"ProgID", progId},
                      {L"VersionIndependentProgID", versionIndependentProgId},
                      {L"FriendlyName", friendlyName}},
                     registering);
    COM_METHOD_END
}

} // namespace quorvel

HRESULT CShaderEffectModule::RegisterServer() noexcept {
    SystemLocaleScope locale;
    RETURN_IF_FAILED(RunAppIdScript(true));
    for (const auto& entry : g_objectMap)
        RETURN_IF_FAILED(entry.updateRegistry(true));
    return RegisterTypeLibrary();
}

// Every class and the type library are removed even after a failure, so one
// broken key does not leave the rest behind; the AppID goes only when all
// else did. The first failure is the result.
HRESULT CShaderEffectModule::UnregisterServer() noexcept {
    SystemLocaleScope locale;
    HRESULT first = S_OK;
    const auto keep = [&first](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(first))
            first = hr;
    };
    for (const auto& entry : g_objectMap)
        keep(entry.updateRegistry(false));
    keep(UnregisterTypeLibrary());
    if (FAILED(first))
        return first;
    return RunAppIdScript(false);
}
