#pragma once

// Where this process's memory lives, from Linux's own account of it
// (/proc/self/smaps, read through Wine). Under Wine, Windows code (ours,
// and Wine's own Windows DLLs such as wined3d) can only allocate through
// Wine's virtual memory: Win32 heaps, VirtualAlloc, mapped sections and
// module images, all of which Wine tracks and VirtualQuery reports. Native
// code (Mesa and its LLVM compiler, X11, glibc) allocates behind Wine's
// back: glibc's main arena (brk), its thread arenas, and other anonymous
// mappings; llvmpipe's compiled shaders live in anonymous executable pages.
//
// Figures are anonymous resident bytes ("Anonymous" plus "Swap" in smaps),
// which add up to the committed figure Wine reports for the process.

#include <windows.h>

#include <string>

namespace quorvelbench {

struct MemoryRegions {
    // Memory Windows code can reach.
    unsigned long long heaps = 0;    // pages of the Win32 heaps (their regions and large blocks)
    unsigned long long win32 = 0;    // other Wine views: VirtualAlloc, thread stacks, module data
    unsigned long long heapBusy = 0; // bytes handed out by the Win32 heaps and not yet freed
    // Of those, by heap: the C runtime msvcrt.dll's (malloc and operator new
    // of every program and DLL this build makes, ours and the stand-ins),
    // ucrtbase.dll's and the process heap (Wine's own DLLs allocate from
    // these two: wined3d, D3DX, COM).
    unsigned long long crtBusy = 0, ucrtBusy = 0, processBusy = 0;
    // Memory only native code reaches.
    unsigned long long brk = 0;    // glibc's main arena
    unsigned long long arenas = 0; // glibc's thread arenas (64 MiB-aligned mappings)
    unsigned long long mmaps = 0;  // other anonymous mappings: large malloc blocks, Mesa's own
    unsigned long long jit = 0;    // anonymous executable pages: llvmpipe's compiled code
    unsigned long long files = 0;  // written pages of native libraries, native stacks, the rest
    unsigned long long total = 0;  // everything above but heapBusy
    unsigned mixed = 0;            // mappings Wine knows only in part (counted by their first page)
};

// Reads the process's maps and heaps; E_* if /proc cannot be read. Wine's
// server opens files for its clients, so /proc/self would be the server:
// the process's Linux id comes from QUORVEL_UNIX_PID, which scripts/soak.sh
// sets (and which must name a process mapping this program).
HRESULT ReadMemoryRegions(MemoryRegions& regions);

// glibc's own figures from bench/malloc-probe.c, when the soak runs with it
// (QUORVEL_MALLOC_PROBE names the folder it answers in), as "name value"
// pairs; with QUORVEL_MALLOC_TRIM=1 it runs malloc_trim(0) first. S_FALSE and
// nothing when the probe is not there.
HRESULT AskNativeAllocator(std::string& figures);

// One line of "name bytes" pairs, names without spaces, for the soak's reader.
std::string FormatMemoryRegions(const MemoryRegions& regions);

} // namespace quorvelbench
