#include "host/render/ToolSupport.h"

#include "com/CodePage.h"

#include <shlwapi.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace quorvelrender {

void Print(const std::wstring& text) {
    std::string narrow;
    quorvel::Narrow(text, narrow, CP_UTF8);
    std::fwrite(narrow.data(), 1, narrow.size(), stderr);
    std::fflush(stderr);
}

void Warn(const std::wstring& text) { Print(L"quorvel-render: warning: " + text + L"\n"); }

std::wstring FullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH, buffer, nullptr);
    return (n == 0 || n >= MAX_PATH) ? path : std::wstring(buffer);
}

std::wstring ExpandedPath(const std::wstring& name) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = ::ExpandEnvironmentStringsW(name.c_str(), buffer, MAX_PATH);
    return FullPath(n == 0 || n > MAX_PATH ? name : std::wstring(buffer));
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

bool ReadText(const std::wstring& path, std::string& text) {
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file)
        return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

bool MakeFolders(const std::wstring& path) {
    if (path.empty() || ::PathIsDirectoryW(path.c_str()))
        return true;
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0)
        MakeFolders(path.substr(0, slash));
    return ::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace quorvelrender
