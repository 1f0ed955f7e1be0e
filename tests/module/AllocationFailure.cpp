#include "tests/module/AllocationFailure.h"

#include <cstdlib>
#include <new>

namespace allocation {

namespace {
thread_local long t_remaining = -1;
thread_local bool t_failed = false;

bool ShouldFail() {
    if (t_remaining < 0)
        return false;
    if (t_remaining == 0) {
        t_remaining = -1;
        t_failed = true;
        return true;
    }
    --t_remaining;
    return false;
}

void* Allocate(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }
} // namespace

void FailAfter(long succeeding) {
    t_remaining = succeeding;
    t_failed = false;
}
void Disarm() { t_remaining = -1; }
bool Failed() { return t_failed; }

} // namespace allocation

void* operator new(std::size_t size) {
    void* p = allocation::ShouldFail() ? nullptr : allocation::Allocate(size);
    if (!p)
        throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocation::ShouldFail() ? nullptr : allocation::Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
