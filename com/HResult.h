#pragma once

// Propagation helpers: every operation returns an HRESULT and a failure of a
// called operation goes back unchanged.

#include <windows.h>

#include <new>
#include <type_traits>

namespace quorvel {

template <typename T> constexpr bool IsHResult = std::is_same_v<std::decay_t<T>, HRESULT>;

inline HRESULT HResultFromWin32(DWORD error) { return HRESULT_FROM_WIN32(error); }

// The calling thread's last error as an HRESULT; E_FAIL when none is set.
inline HRESULT HResultFromLastError() {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

} // namespace quorvel

#define RETURN_IF_FAILED(expr)                                                                     \
    do {                                                                                           \
        const auto quorvel_hr_ = (expr);                                                           \
        static_assert(::quorvel::IsHResult<decltype(quorvel_hr_)>, "expected an HRESULT");         \
        if (FAILED(quorvel_hr_))                                                                   \
            return quorvel_hr_;                                                                    \
    } while (0)

#define RETURN_HR_IF(hr, cond)                                                                     \
    do {                                                                                           \
        static_assert(::quorvel::IsHResult<decltype(hr)>, "expected an HRESULT");                  \
        if (cond)                                                                                  \
            return (hr);                                                                           \
    } while (0)

#define RETURN_HR_IF_NULL(hr, ptr) RETURN_HR_IF(hr, (ptr) == nullptr)

#define RETURN_IF_NULL_ALLOC(ptr) RETURN_HR_IF(E_OUTOFMEMORY, (ptr) == nullptr)

#define RETURN_IF_WIN32_ERROR(err)                                                                 \
    do {                                                                                           \
        const LONG quorvel_err_ = static_cast<LONG>(err);                                          \
        if (quorvel_err_ != ERROR_SUCCESS)                                                         \
            return HRESULT_FROM_WIN32(static_cast<DWORD>(quorvel_err_));                           \
    } while (0)

// Wraps the body of a COM method: no exception crosses the boundary.
#define COM_METHOD_BEGIN try {
#define COM_METHOD_END                                                                             \
    }                                                                                              \
    catch (const std::bad_alloc&) {                                                                \
        return E_OUTOFMEMORY;                                                                      \
    }                                                                                              \
    catch (...) {                                                                                  \
        return E_UNEXPECTED;                                                                       \
    }
