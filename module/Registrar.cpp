#include "module/Registrar.h"

#include "com/HResult.h"
#include "com/UniqueAny.h"

#include <shlwapi.h>

namespace quorvel {

namespace {

constexpr REGSAM kWriteAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

HRESULT DeleteTree(HKEY root, const std::wstring& key) {
    const LONG status = ::SHDeleteKeyW(root, key.c_str());
    RETURN_HR_IF(S_OK, status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND);
    RETURN_IF_WIN32_ERROR(status);
    return S_OK;
}

HRESULT WriteLine(HKEY root, const RegistryScriptLine& line) {
    if (line.mode == RegistryKeyMode::Fresh)
        RETURN_IF_FAILED(DeleteTree(root, line.key));
    UniqueHKey key;
    RETURN_IF_WIN32_ERROR(::RegCreateKeyExW(root, line.key.c_str(), 0, nullptr,
                                            REG_OPTION_NON_VOLATILE, kWriteAccess, nullptr,
                                            key.put(), nullptr));
    if (!line.hasValue)
        return S_OK;
    const DWORD bytes = static_cast<DWORD>((line.data.size() + 1) * sizeof(WCHAR));
    RETURN_IF_WIN32_ERROR(
        ::RegSetValueExW(key.get(), line.valueName.empty() ? nullptr : line.valueName.c_str(), 0,
                         REG_SZ, reinterpret_cast<const BYTE*>(line.data.c_str()), bytes));
    return S_OK;
}

} // namespace

HRESULT RunRegistryScript(HKEY root, std::wstring_view script, const RegistryParameters& parameters,
                          bool registering) {
    COM_METHOD_BEGIN
    std::vector<RegistryScriptLine> lines;
    RETURN_HR_IF(E_INVALIDARG, !ParseRegistryScript(script, parameters, lines, nullptr));
    if (registering) {
        for (const auto& line : lines)
            RETURN_IF_FAILED(WriteLine(root, line));
        return S_OK;
    }
    HRESULT first = S_OK;
    for (const auto& key : KeysToRemove(lines)) {
        const HRESULT hr = DeleteTree(root, key);
        if (SUCCEEDED(first) && FAILED(hr))
            first = hr;
    }
    return first;
    COM_METHOD_END
}

} // namespace quorvel
