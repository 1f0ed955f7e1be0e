// quorvel-render: the host's stand-in that renders frames through Quorvel.dll.

#include "host/render/Tool.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

int main() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; argv && i < argc; ++i)
        args.emplace_back(argv[i]);
    ::LocalFree(argv);

    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    const size_t slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? L"." : folder.substr(0, slash);
    return quorvelrender::RunTool(args, folder);
}
