#include "tests/support/TestSupport.h"

#include <shlwapi.h>

#include <map>

namespace testing_support {

namespace {

std::map<std::string, ChildScenario>& Scenarios() {
    static std::map<std::string, ChildScenario> scenarios;
    return scenarios;
}

} // namespace

bool RegisterChildScenario(const char* name, ChildScenario scenario) {
    Scenarios()[name] = scenario;
    return true;
}

int RunChildScenarioIfAsked(int argc, char** argv, bool* ran) {
    *ran = false;
    static const std::string prefix = "--quorvel-child=";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.compare(0, prefix.size(), prefix) == 0) {
            *ran = true;
            auto it = Scenarios().find(arg.substr(prefix.size()));
            if (it == Scenarios().end()) {
                fprintf(stderr, "unknown child scenario %s\n", arg.c_str());
                return 0xFE;
            }
            return it->second();
        }
    }
    return 0;
}

DWORD RunChild(const char* scenario, const std::vector<std::wstring>& environment) {
    wchar_t exe[MAX_PATH];
    if (::GetModuleFileNameW(nullptr, exe, MAX_PATH) == 0)
        return 0xFFFF0001;
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --quorvel-child=";
    for (const char* c = scenario; *c; ++c)
        command += static_cast<wchar_t>(*c);

    // The child's environment: ours, with the given entries on top.
    std::wstring block;
    std::vector<std::wstring> names;
    for (const auto& entry : environment)
        names.push_back(entry.substr(0, entry.find(L'=') + 1));
    if (wchar_t* own = ::GetEnvironmentStringsW()) {
        for (const wchar_t* p = own; *p; p += wcslen(p) + 1) {
            const std::wstring entry = p;
            bool replaced = false;
            for (const auto& n : names)
                if (_wcsnicmp(entry.c_str(), n.c_str(), n.size()) == 0)
                    replaced = true;
            if (!replaced)
                block += entry + L'\0';
        }
        ::FreeEnvironmentStringsW(own);
    }
    for (const auto& entry : environment)
        block += entry + L'\0';
    block += L'\0';

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                          block.data(), nullptr, &startup, &process))
        return 0xFFFF0002;
    ::WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 0xFFFF0003;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

std::wstring ProgramFolder() {
    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    *::PathFindFileNameW(exe) = L'\0';
    return exe;
}

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    for (;;) {
        m_path = std::wstring(temp) + L"qv" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                 std::to_wstring(::InterlockedIncrement(&counter));
        if (::CreateDirectoryW(m_path.c_str(), nullptr))
            break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create a scratch folder";
            break;
        }
    }
}

ScratchFolder::~ScratchFolder() { RemoveTree(m_path); }

bool CreateFolders(const std::wstring& path) {
    if (path.empty() || ::PathIsDirectoryW(path.c_str()))
        return true;
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 2)
        CreateFolders(path.substr(0, slash));
    return ::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        CreateFolders(path.substr(0, slash));
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok =
        bytes.empty() ||
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..")
                RemoveTree(path + L"\\" + name);
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(path.c_str());
}

ScopedRegistryTree::ScopedRegistryTree(HKEY root, std::wstring subkey)
    : m_root(root), m_subkey(std::move(subkey)) {
    ::SHDeleteKeyW(m_root, m_subkey.c_str());
}

ScopedRegistryTree::~ScopedRegistryTree() { ::SHDeleteKeyW(m_root, m_subkey.c_str()); }

ScopedEnvironment::ScopedEnvironment(std::wstring name, const wchar_t* value)
    : m_name(std::move(name)) {
    wchar_t buffer[32768];
    const DWORD n = ::GetEnvironmentVariableW(m_name.c_str(), buffer, 32768);
    if (n > 0 && n < 32768) {
        m_hadOld = true;
        m_old = buffer;
    }
    ::SetEnvironmentVariableW(m_name.c_str(), value);
}

ScopedEnvironment::~ScopedEnvironment() {
    ::SetEnvironmentVariableW(m_name.c_str(), m_hadOld ? m_old.c_str() : nullptr);
}

} // namespace testing_support
