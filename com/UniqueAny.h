#pragma once

// One RAII template for plain handles (HKEY, HANDLE, HMODULE, BSTR, ...). A
// traits type names the handle type, its invalid value and how to close it.

#include <oleauto.h>
#include <windows.h>

#include <utility>

namespace quorvel {

template <typename Traits> class UniqueAny {
  public:
    using Type = typename Traits::Type;

    UniqueAny() noexcept = default;
    explicit UniqueAny(Type value) noexcept : m_value(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : m_value(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    Type get() const noexcept { return m_value; }
    bool is_valid() const noexcept { return m_value != Traits::Invalid(); }
    explicit operator bool() const noexcept { return is_valid(); }

    void reset(Type value = Traits::Invalid()) noexcept {
        Type old = std::exchange(m_value, value);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }
    [[nodiscard]] Type release() noexcept { return std::exchange(m_value, Traits::Invalid()); }
    // Closes what is held and hands out the slot for an out-parameter.
    Type* put() noexcept {
        reset();
        return &m_value;
    }

  private:
    Type m_value = Traits::Invalid();
};

namespace traits {
template <typename T, void (*close)(T)> struct NullIsInvalid {
    using Type = T;
    static constexpr T Invalid() noexcept { return T{}; }
    static void Close(T value) noexcept { close(value); }
};
inline void CloseKey(HKEY key) noexcept { ::RegCloseKey(key); }
inline void CloseHandleValue(HANDLE handle) noexcept { ::CloseHandle(handle); }
inline void ReleaseModule(HMODULE module) noexcept { ::FreeLibrary(module); }
inline void ReleaseBstr(BSTR value) noexcept { ::SysFreeString(value); }
// CreateFileW's failure value is INVALID_HANDLE_VALUE, not null.
struct FileHandle {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type value) noexcept { ::CloseHandle(value); }
};
} // namespace traits

using UniqueHKey = UniqueAny<traits::NullIsInvalid<HKEY, traits::CloseKey>>;
using UniqueHModule = UniqueAny<traits::NullIsInvalid<HMODULE, traits::ReleaseModule>>;
using UniqueHandle = UniqueAny<traits::NullIsInvalid<HANDLE, traits::CloseHandleValue>>;
using UniqueHFile = UniqueAny<traits::FileHandle>;
using UniqueBstr = UniqueAny<traits::NullIsInvalid<BSTR, traits::ReleaseBstr>>;

} // namespace quorvel
