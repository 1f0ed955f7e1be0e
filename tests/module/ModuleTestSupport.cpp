#include "tests/module/ModuleTestSupport.h"

#include <algorithm>
#include <vector>

namespace moduletest {

std::wstring ServerPath() { return testing_support::ProgramFolder() + L"Quorvel.dll"; }

LoadedServer::LoadedServer() : m_module(::LoadLibraryW(ServerPath().c_str())) {
    if (!m_module)
        return;
    m_getClassObject =
        reinterpret_cast<DllGetClassObjectFn>(::GetProcAddress(m_module, "DllGetClassObject"));
    m_canUnloadNow = reinterpret_cast<DllFunctionFn>(::GetProcAddress(m_module, "DllCanUnloadNow"));
    m_register = reinterpret_cast<DllFunctionFn>(::GetProcAddress(m_module, "DllRegisterServer"));
    m_unregister =
        reinterpret_cast<DllFunctionFn>(::GetProcAddress(m_module, "DllUnregisterServer"));
    if (!m_getClassObject || !m_canUnloadNow || !m_register || !m_unregister) {
        ::FreeLibrary(m_module);
        m_module = nullptr;
    }
}

LoadedServer::~LoadedServer() {
    if (m_module)
        ::FreeLibrary(m_module);
}

HRESULT CountingOuter::QueryInterface(REFIID iid, void** out) {
    ++m_queries;
    *out = nullptr;
    if (!::IsEqualIID(iid, IID_IUnknown))
        return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t buffer[1024];
    DWORD type = 0;
    DWORD bytes = sizeof(buffer);
    const LONG status =
        ::RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    ::RegCloseKey(opened);
    if (status != ERROR_SUCCESS || type != REG_SZ || bytes < sizeof(wchar_t))
        return std::nullopt;
    return std::wstring(buffer, bytes / sizeof(wchar_t) - 1);
}

bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(opened);
    return true;
}

namespace {
std::wstring Names(HKEY root, const std::wstring& key, bool subkeys) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return L"<missing>";
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        const LONG status =
            subkeys ? ::RegEnumKeyExW(opened, i, name, &length, nullptr, nullptr, nullptr, nullptr)
                    : ::RegEnumValueW(opened, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            break;
        names.push_back(length == 0 ? L"@" : name);
    }
    ::RegCloseKey(opened);
    std::sort(names.begin(), names.end());
    std::wstring joined;
    for (const auto& n : names)
        joined += (joined.empty() ? L"" : L",") + n;
    return joined;
}
} // namespace

std::wstring SubkeyNames(HKEY root, const std::wstring& key) { return Names(root, key, true); }
std::wstring ValueNames(HKEY root, const std::wstring& key) { return Names(root, key, false); }

} // namespace moduletest
