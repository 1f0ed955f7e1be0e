// The stand-in's own allocations, counted: every operator new and delete of
// this DLL (the C++ runtime is linked in statically, so its containers come
// here too) goes through the two functions below, which keep the bytes and
// blocks still allocated. A soak reads them through QuorvelFxLiveHeap to
// tell memory the framework keeps from memory kept by what it calls (the
// assembler, the device), which has its own heaps. The allocation itself is
// the C runtime's malloc, as before.

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

std::atomic<long long> g_liveBytes{0};
std::atomic<long long> g_liveBlocks{0};

// The block's usable size, asked of the allocator itself, so a block freed
// here that was not counted here can skew the figures but not the heap.
void Counted(void* block, long long sign) {
    g_liveBytes.fetch_add(sign * static_cast<long long>(_msize(block)), std::memory_order_relaxed);
    g_liveBlocks.fetch_add(sign, std::memory_order_relaxed);
}

} // namespace

void* operator new(std::size_t size) {
    for (;;) {
        if (void* block = std::malloc(size ? size : 1)) {
            Counted(block, 1);
            return block;
        }
        const std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

void operator delete(void* block) noexcept {
    if (!block)
        return;
    Counted(block, -1);
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

// The array and no-throw forms of the runtime call the ones above.

extern "C" HRESULT WINAPI QuorvelFxLiveHeap(ULONGLONG* bytes, ULONGLONG* blocks) {
    if (bytes)
        *bytes = 0;
    if (blocks)
        *blocks = 0;
    if (!bytes || !blocks)
        return E_POINTER;
    *bytes = static_cast<ULONGLONG>(g_liveBytes.load(std::memory_order_relaxed));
    *blocks = static_cast<ULONGLONG>(g_liveBlocks.load(std::memory_order_relaxed));
    return S_OK;
}
