#include "bench/MemoryRegions.h"

#include "com/HResult.h"
#include "com/UniqueAny.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

namespace quorvelbench {
namespace {

HRESULT ReadWholeFile(const wchar_t* path, std::string& text) {
    quorvel::UniqueHFile file(::CreateFileW(path, GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
    RETURN_HR_IF(HRESULT_FROM_WIN32(::GetLastError()), !file);
    text.clear();
    // /proc files have no size: read until the end.
    char buffer[1 << 16];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text.empty() ? E_FAIL : S_OK;
}

// The heap a C runtime's malloc takes from, if that runtime is loaded.
HANDLE RuntimeHeap(const wchar_t* runtime) {
    using HeapHandleFn = intptr_t(__cdecl*)();
    const HMODULE module = ::GetModuleHandleW(runtime);
    const auto handle =
        module ? reinterpret_cast<HeapHandleFn>(::GetProcAddress(module, "_get_heap_handle"))
               : nullptr;
    return handle ? reinterpret_cast<HANDLE>(handle()) : nullptr;
}

// The allocations every Win32 heap's pages belong to, sorted, and the bytes
// the heaps have handed out, in all and by heap.
void WalkHeaps(std::vector<void*>& bases, MemoryRegions& regions) {
    const HANDLE crt = RuntimeHeap(L"msvcrt.dll"), ucrt = RuntimeHeap(L"ucrtbase.dll"),
                 process = ::GetProcessHeap();
    std::vector<HANDLE> heaps(::GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    for (HANDLE heap : heaps) {
        if (!::HeapLock(heap))
            continue;
        unsigned long long busy = 0;
        PROCESS_HEAP_ENTRY entry = {};
        while (::HeapWalk(heap, &entry)) {
            const bool region = (entry.wFlags & PROCESS_HEAP_REGION) != 0;
            const bool taken = (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
            if (taken)
                busy += entry.cbData;
            // Regions, and blocks large enough to have pages of their own.
            if (region || (taken && entry.cbData >= (64u << 10))) {
                MEMORY_BASIC_INFORMATION info = {};
                if (::VirtualQuery(entry.lpData, &info, sizeof(info)) && info.AllocationBase)
                    bases.push_back(info.AllocationBase);
            }
        }
        ::HeapUnlock(heap);
        regions.heapBusy += busy;
        regions.crtBusy += heap == crt ? busy : 0;
        regions.ucrtBusy += heap == ucrt ? busy : 0;
        regions.processBusy += heap == process ? busy : 0;
    }
    std::sort(bases.begin(), bases.end());
    bases.erase(std::unique(bases.begin(), bases.end()), bases.end());
}

struct Mapping {
    unsigned long long start = 0, end = 0;
    char permissions[5] = {};
    std::string path;
    unsigned long long anonymous = 0; // bytes, with what is swapped out
};

// Whether a mapping Wine knows from its first page has parts Wine does not.
bool PartlyNative(const MEMORY_BASIC_INFORMATION& first, char* end) {
    MEMORY_BASIC_INFORMATION next = first;
    for (char* at = static_cast<char*>(first.BaseAddress) + first.RegionSize; at < end;
         at = static_cast<char*>(next.BaseAddress) + next.RegionSize) {
        if (!::VirtualQuery(at, &next, sizeof(next)) || next.State == MEM_FREE)
            return true;
    }
    return false;
}

void Classify(const Mapping& m, const std::vector<void*>& heapBases, MemoryRegions& regions) {
    if (m.anonymous == 0)
        return;
    regions.total += m.anonymous;
    auto* const start = reinterpret_cast<char*>(static_cast<uintptr_t>(m.start));
    auto* const end = reinterpret_cast<char*>(static_cast<uintptr_t>(m.end));
    MEMORY_BASIC_INFORMATION info = {};
    if (::VirtualQuery(start, &info, sizeof(info)) && info.State != MEM_FREE) {
        regions.mixed += PartlyNative(info, end);
        if (std::binary_search(heapBases.begin(), heapBases.end(), info.AllocationBase))
            regions.heaps += m.anonymous;
        else
            regions.win32 += m.anonymous;
        return;
    }
    constexpr unsigned long long kArenaAlignment = 64ull << 20;
    if (m.path == "[heap]")
        regions.brk += m.anonymous;
    else if (!m.path.empty())
        regions.files += m.anonymous;
    else if (m.permissions[2] == 'x')
        regions.jit += m.anonymous;
    else if (m.start % kArenaAlignment == 0)
        regions.arenas += m.anonymous;
    else
        regions.mmaps += m.anonymous;
}

std::wstring UnixPath(const std::wstring& path) {
    std::wstring windows = L"\\\\?\\unix" + path;
    for (wchar_t& c : windows)
        c = c == L'/' ? L'\\' : c;
    return windows;
}

HRESULT WriteWholeFile(const std::wstring& path, const char* text) {
    quorvel::UniqueHFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    RETURN_HR_IF(HRESULT_FROM_WIN32(::GetLastError()), !file);
    DWORD written = 0;
    const DWORD length = static_cast<DWORD>(std::strlen(text));
    RETURN_HR_IF(HRESULT_FROM_WIN32(::GetLastError()),
                 !::WriteFile(file.get(), text, length, &written, nullptr));
    return written == length ? S_OK : E_FAIL;
}

} // namespace

HRESULT AskNativeAllocator(std::string& figures) {
    figures.clear();
    wchar_t folder[MAX_PATH] = {}, trim[8] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"QUORVEL_MALLOC_PROBE", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return S_FALSE;
    const bool trimming =
        ::GetEnvironmentVariableW(L"QUORVEL_MALLOC_TRIM", trim, 8) == 1 && trim[0] == L'1';
    const std::wstring base = UnixPath(folder), request = base + L"\\request",
                       answer = base + L"\\answer";
    // Written whole, then renamed: the probe must never see half a request.
    RETURN_IF_FAILED(WriteWholeFile(request + L".part", trimming ? "trim" : "count"));
    RETURN_HR_IF(
        HRESULT_FROM_WIN32(::GetLastError()),
        !::MoveFileExW((request + L".part").c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING));
    for (int waited = 0; waited < 2000; ++waited) {
        if (SUCCEEDED(ReadWholeFile(answer.c_str(), figures))) {
            ::DeleteFileW(answer.c_str());
            while (!figures.empty() && (figures.back() == '\n' || figures.back() == '\r'))
                figures.pop_back();
            return S_OK;
        }
        ::Sleep(5);
    }
    return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
}

HRESULT ReadMemoryRegions(MemoryRegions& regions) {
    regions = MemoryRegions();
    std::vector<void*> heapBases;
    WalkHeaps(heapBases, regions);
    // Wine's server opens files for its clients, so /proc/self would be the
    // server's: the process's Linux id comes from whoever started it.
    wchar_t pid[32] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"QUORVEL_UNIX_PID", pid, 32);
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_ENVVAR_NOT_FOUND), length == 0 || length >= 32);
    std::string text;
    RETURN_IF_FAILED(
        ReadWholeFile((std::wstring(L"\\\\?\\unix\\proc\\") + pid + L"\\smaps").c_str(), text));
    // The id must be this process's: its maps hold this program's image.
    wchar_t self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring name(self, n);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    std::string narrowName(name.begin(), name.end());
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_INVALID_DATA),
                 text.find(narrowName) == std::string::npos);

    Mapping mapping;
    bool open = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned long long start = 0, end = 0, kilobytes = 0;
        char permissions[5] = {};
        int pathAt = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %4s %*s %*s %*s %n", &start, &end, permissions,
                        &pathAt) == 3 &&
            pathAt > 0) {
            if (open)
                Classify(mapping, heapBases, regions);
            mapping = Mapping();
            mapping.start = start;
            mapping.end = end;
            std::memcpy(mapping.permissions, permissions, sizeof(permissions));
            mapping.path = line.substr(static_cast<size_t>(pathAt));
            open = true;
        } else if (std::sscanf(line.c_str(), "Anonymous: %llu kB", &kilobytes) == 1 ||
                   std::sscanf(line.c_str(), "Swap: %llu kB", &kilobytes) == 1) {
            mapping.anonymous += kilobytes << 10;
        }
    }
    if (open)
        Classify(mapping, heapBases, regions);
    return regions.total ? S_OK : E_FAIL;
}

std::string FormatMemoryRegions(const MemoryRegions& r) {
    char line[512];
    std::snprintf(line, sizeof(line),
                  "win32-heaps %llu win32-other %llu heap-in-use %llu glibc-main %llu "
                  "glibc-arenas %llu native-mmap %llu jit-code %llu native-other %llu "
                  "anonymous %llu mixed %u heap-crt %llu heap-ucrt %llu heap-process %llu",
                  r.heaps, r.win32, r.heapBusy, r.brk, r.arenas, r.mmaps, r.jit, r.files, r.total,
                  r.mixed, r.crtBusy, r.ucrtBusy, r.processBusy);
    return line;
}

} // namespace quorvelbench
