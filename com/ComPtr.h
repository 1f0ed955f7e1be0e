#pragma once

// Owning interface pointer: holds one reference and releases it exactly once.

#include <unknwn.h>
#include <windows.h>

#include <cstddef>
#include <utility>

namespace quorvel {

template <typename T> class ComPtr {
  public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference on p.
    explicit ComPtr(T* p) noexcept : m_p(p) { AddRefIfSet(); }
    ComPtr(const ComPtr& other) noexcept : m_p(other.m_p) { AddRefIfSet(); }
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { reset(); }

    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr(other).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }

    T* get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    // Clears the member before releasing, so a re-entrant call sees it empty.
    void reset() noexcept {
        if (T* old = std::exchange(m_p, nullptr))
            old->Release();
    }
    // Replaces the held pointer with p, adding a reference to p.
    void copy_from(T* p) noexcept { ComPtr(p).swap(*this); }
    // Adopts p without adding a reference.
    void attach(T* p) noexcept {
        reset();
        m_p = p;
    }
    [[nodiscard]] T* detach() noexcept { return std::exchange(m_p, nullptr); }

    // Releases what is held and hands out the slot for an out-parameter.
    T** put() noexcept {
        reset();
        return &m_p;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    // Hands a new reference to an out-parameter.
    void copy_to(T** out) const noexcept {
        *out = m_p;
        AddRefIfSet();
    }

    template <typename U> HRESULT query_to(REFIID iid, ComPtr<U>& out) const noexcept {
        return m_p ? m_p->QueryInterface(iid, out.put_void()) : (out.reset(), E_POINTER);
    }

    void swap(ComPtr& other) noexcept { std::swap(m_p, other.m_p); }

  private:
    void AddRefIfSet() const noexcept {
        if (m_p)
            m_p->AddRef();
    }

    T* m_p = nullptr;
};

template <typename T> bool operator==(const ComPtr<T>& a, std::nullptr_t) { return !a; }
template <typename T> bool operator!=(const ComPtr<T>& a, std::nullptr_t) {
    return static_cast<bool>(a);
}

// Queries any interface pointer into a typed holder.
template <typename U> HRESULT QueryTo(IUnknown* from, REFIID iid, ComPtr<U>& out) noexcept {
    out.reset();
    return from ? from->QueryInterface(iid, out.put_void()) : E_POINTER;
}

} // namespace quorvel
