// The native shader compiler as a child process. Under Wine, CreateProcessW
// on a Unix path starts a Linux program, but hands back no process handle to
// wait on: a small shell script runs the compiler under a time limit and
// writes its exit status last, and this side waits for that file.

#include "host/fx/FxCompileProcess.h"

#include <windows.h>

#include <string>
#include <vector>

#include "com/CodePage.h"
#include "com/ScopeExit.h"
#include "com/UniqueAny.h"

namespace fxhost {
namespace {

// The compiler's own limit, and how long this side waits beyond it for the
// script to write its status.
constexpr int kCompilerSeconds = 60;
constexpr DWORD kWaitMilliseconds = (kCompilerSeconds + 15) * 1000;

const char kCompilerName[] = "quorvel-fxc";

// Wine's path conversion; absent on Windows itself.
std::string UnixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto convert = kernel ? reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
                                      GetProcAddress(kernel, "wine_get_unix_file_name")))
                                : nullptr;
    if (!convert)
        return {};
    char* unix = convert(path.c_str());
    if (!unix)
        return {};
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

std::wstring ModuleFolder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&UnixPath), &self))
        return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// QUORVEL_FXC names the compiler; otherwise it sits beside this DLL or in
// the native build of the tree the DLL was built in (bin/fx, bin/render).
bool FindCompiler(std::string& unixPath, std::string& why) {
    wchar_t value[2048];
    const DWORD n = GetEnvironmentVariableW(L"QUORVEL_FXC", value, 2048);
    if (n > 0 && n < 2048) {
        quorvel::Narrow(std::wstring(value, n), unixPath, CP_UTF8);
        return true;
    }
    const std::wstring folder = ModuleFolder();
    for (const wchar_t* relative : {L"quorvel-fxc", L"..\\..\\native\\quorvel-fxc"}) {
        const std::wstring candidate = folder + relative;
        const DWORD attributes = GetFileAttributesW(candidate.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        unixPath = UnixPath(candidate);
        if (!unixPath.empty())
            return true;
    }
    why = std::string("the shader compiler ") + kCompilerName +
          " was not found beside d3dx9_30.dll or in the build's native folder (set QUORVEL_FXC "
          "to its path)";
    return false;
}

bool WriteWholeFile(const std::wstring& path, const std::string& text) {
    quorvel::UniqueHFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

bool ReadSmallFile(const std::wstring& path, std::string& text) {
    quorvel::UniqueHFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 16 * 1024 * 1024)
        return false;
    text.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return size.QuadPart == 0 ||
           (ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) &&
            read == text.size());
}

// A fresh folder under the temporary folder, removed with what it holds.
class ScratchFolder {
  public:
    bool Create() {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        if (n == 0 || n > MAX_PATH)
            return false;
        static LONG counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::wstring name = std::wstring(temp) + L"quorvel-fx-" +
                                      std::to_wstring(GetCurrentProcessId()) + L"-" +
                                      std::to_wstring(InterlockedIncrement(&counter));
            if (CreateDirectoryW(name.c_str(), nullptr)) {
                m_path = name + L"\\";
                return true;
            }
            if (GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
        return false;
    }
    ~ScratchFolder() {
        if (m_path.empty())
            return;
        for (const wchar_t* file : kFiles)
            DeleteFileW((m_path + file).c_str());
        RemoveDirectoryW(m_path.c_str());
    }
    std::wstring File(const wchar_t* name) const { return m_path + name; }
    const std::wstring& Path() const { return m_path; }

    static constexpr const wchar_t* kFiles[] = {L"source.hlsl", L"run.sh",    L"result.txt",
                                                L"result.tmp",  L"out.txt",   L"errors.txt",
                                                L"status.tmp",  L"status.txt"};

  private:
    std::wstring m_path;
};

std::string Script(const std::string& folder, const std::string& compiler,
                   const fx::StateValue& compile) {
    const std::string quoted = fx::ShellQuote(compiler);
    std::string run = quoted;
    for (const std::string& a : fx::CompilerArguments(compile, "source.hlsl", "result.txt"))
        run += " " + fx::ShellQuote(a);
    run += " >out.txt 2>errors.txt </dev/null\n";
    const std::string limit = "timeout -s KILL " + std::to_string(kCompilerSeconds) + " ";
    // 127: no compiler. The status file appears last, in one rename.
    return "cd " + fx::ShellQuote(folder) + " || exit 1\n" +
           "status=127\n"
           "if [ -f " +
           quoted + " ] && [ -x " + quoted +
           " ]; then\n"
           "  if command -v timeout >/dev/null 2>&1; then\n"
           "    " +
           limit + run +
           "  else\n"
           "    " +
           run +
           "  fi\n"
           "  status=$?\n"
           "fi\n"
           "echo $status >status.tmp && mv status.tmp status.txt\n";
}

} // namespace

bool CompileHlsl(const fx::HlslSource& hlsl, const fx::StateValue& compile, fx::CompiledHlsl& out,
                 std::string& messages) {
    auto fail = [&](const std::string& text) {
        messages += fx::FormatError(compile.position, "X3000", "cannot compile HLSL: " + text);
        return false;
    };
    std::string compiler, why;
    if (!FindCompiler(compiler, why))
        return fail(why);
    ScratchFolder scratch;
    if (!scratch.Create())
        return fail("no temporary folder for the shader compiler");
    const std::string folder = UnixPath(scratch.Path());
    if (folder.empty())
        return fail("the temporary folder has no Unix path (the shader compiler runs under Wine "
                    "only)");
    if (!WriteWholeFile(scratch.File(L"source.hlsl"), hlsl.text) ||
        !WriteWholeFile(scratch.File(L"run.sh"), Script(folder, compiler, compile)))
        return fail("cannot write to the temporary folder");

    std::wstring command = L"/bin/sh ";
    std::wstring script;
    quorvel::Widen(folder + "run.sh", script, CP_UTF8);
    command += L"\"" + script + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return fail("/bin/sh could not be started (error " + std::to_string(GetLastError()) + ")");
    // Under Wine the handles of a Unix program are not waitable; close what
    // there is and wait for the status file.
    quorvel::UniqueHandle processHandle(process.hProcess);
    quorvel::UniqueHandle threadHandle(process.hThread);

    const std::wstring statusFile = scratch.File(L"status.txt");
    const ULONGLONG start = GetTickCount64();
    DWORD pause = 1;
    std::string status;
    while (!ReadSmallFile(statusFile, status)) {
        if (GetTickCount64() - start > kWaitMilliseconds)
            return fail("the shader compiler did not finish within " +
                        std::to_string(kWaitMilliseconds / 1000) + " s");
        Sleep(pause);
        pause = pause < 20 ? pause * 2 : 20;
    }
    const int code = std::atoi(status.c_str());
    std::string errors;
    ReadSmallFile(scratch.File(L"errors.txt"), errors);
    if (code == 127)
        return fail("the shader compiler '" + compiler + "' was not found or cannot run");
    if (code == 137)
        return fail("the shader compiler did not finish within " +
                    std::to_string(kCompilerSeconds) + " s");
    if (code != 0) {
        const std::string placed = fx::PlaceCompilerMessages(errors, hlsl, compile.position);
        if (placed.empty())
            return fail("the shader compiler failed with status " + std::to_string(code));
        messages += placed;
        return false;
    }
    std::string answer, error;
    if (!ReadSmallFile(scratch.File(L"result.txt"), answer))
        return fail("the shader compiler wrote no result");
    if (!fx::ReadCompiledHlsl(answer, out, error))
        return fail(error);
    return true;
}

} // namespace fxhost
