#include "effect/FindShaderFile.h"

#include "QuorvelProduct.h"

#include <shlwapi.h>

#include <cwchar>

namespace {

constexpr wchar_t kProductFolder[] = L"%ProgramFiles%\\" QUORVEL_MAKER L"\\" QUORVEL_PRODUCT;
constexpr wchar_t kSharedFolder[] = L"%ProgramFiles%\\Movie Maker\\Shared";

// Copies at most MAX_PATH - 1 characters; false when the source did not fit.
bool CopyBounded(wchar_t path[MAX_PATH], const wchar_t* source) {
    const size_t length = wcslen(source);
    const size_t kept = length < MAX_PATH ? length : MAX_PATH - 1;
    wmemcpy(path, source, kept);
    path[kept] = L'\0';
    return length < MAX_PATH;
}

// Joins an unexpanded folder and the name, expands both together and tests
// the result. A join or an expansion that does not fit is not found.
bool ExistsUnderExpandedFolder(wchar_t path[MAX_PATH], const wchar_t* folder, const wchar_t* name) {
    wchar_t candidate[MAX_PATH];
    CopyBounded(candidate, folder);
    if (!::PathAppendW(candidate, name)) {
        CopyBounded(path, candidate);
        return false;
    }
    const DWORD count = ::ExpandEnvironmentStringsW(candidate, path, MAX_PATH);
    if (count == 0 || count > MAX_PATH)
        return false;
    return ::PathFileExistsW(path) != FALSE;
}

} // namespace

HRESULT FindShaderFile(wchar_t path[MAX_PATH], const wchar_t* name) {
    if (path == nullptr || name == nullptr)
        return E_POINTER;
    path[0] = L'\0';

    // A full path with a drive letter is taken as it is, unexpanded.
    if (name[0] != L'\0' && name[1] == L':' && ::PathFileExistsW(name))
        return CopyBounded(path, name) ? S_OK : HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

    if (ExistsUnderExpandedFolder(path, kProductFolder, name))
        return S_OK;

    // An address of our own code names the module that holds the product, not
    // the host's executable.
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&FindShaderFile), &module) ||
        module == nullptr || module == reinterpret_cast<HMODULE>(INVALID_HANDLE_VALUE))
        return E_FAIL;
    wchar_t folder[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(module, folder, MAX_PATH);
    if (length == 0)
        return E_FAIL;
    // A cut-off module path names no real folder: that folder has nothing for
    // us, and the shared folder is still searched.
    if (length < MAX_PATH) {
        wchar_t* fileName = ::PathFindFileNameW(folder);
        // Without a separator the folder would be the current directory,
        // which is never searched.
        if (fileName == nullptr || fileName == folder)
            return E_FAIL;
        *fileName = L'\0';
        if (!CopyBounded(path, folder))
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        // The module's folder is a real path already: the name is not expanded.
        if (::PathAppendW(path, name) && ::PathFileExistsW(path))
            return S_OK;
    }

    if (ExistsUnderExpandedFolder(path, kSharedFolder, name))
        return S_OK;
    return E_INVALIDARG;
}
