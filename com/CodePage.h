#pragma once

// Conversions between UTF-16 and a narrow code page, by default the calling
// thread's ANSI code page. Narrowing never uses best-fit mapping: a character
// the code page cannot spell becomes its default character, so "Ā" never turns
// into "A" and a fullwidth "＼" never into a real backslash. Header-only so the
// host-side tools can use it without linking the product.

#include "com/HResult.h"

#include <windows.h>

#include <climits>
#include <string>
#include <string_view>

namespace quorvel {

// What narrowing does with a character the code page cannot spell.
enum class Unspellable {
    DefaultCharacter, // keep the code page's default character (names, messages)
    NotFound,         // a path: it names no file we can open, so fail
};

// UTF-8 and UTF-7 refuse the best-fit flag and the default-character query.
inline bool TakesNarrowFlags(UINT codePage) { return codePage != CP_UTF8 && codePage != CP_UTF7; }

// `text` as UTF-16; `flags` as for MultiByteToWideChar (MB_ERR_INVALID_CHARS).
inline HRESULT Widen(std::string_view text, std::wstring& wide, UINT codePage = CP_THREAD_ACP,
                     DWORD flags = 0) noexcept try {
    wide.clear();
    if (text.empty())
        return S_OK;
    if (text.size() > INT_MAX)
        return E_INVALIDARG;
    const int count = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(codePage, flags, text.data(), count, nullptr, 0);
    if (length <= 0)
        return HResultFromLastError();
    wide.resize(static_cast<size_t>(length));
    if (::MultiByteToWideChar(codePage, flags, text.data(), count, wide.data(), length) != length) {
        wide.clear();
        return HResultFromLastError();
    }
    return S_OK;
} catch (...) {
    wide.clear();
    return E_OUTOFMEMORY;
}

// `text` in the narrow code page. With Unspellable::NotFound a character that
// needed the default character gives E_FAIL, the result of a file not found,
// and `narrow` is left empty.
inline HRESULT Narrow(std::wstring_view text, std::string& narrow, UINT codePage = CP_THREAD_ACP,
                      Unspellable unspellable = Unspellable::DefaultCharacter) noexcept try {
    narrow.clear();
    if (text.empty())
        return S_OK;
    if (text.size() > INT_MAX)
        return E_INVALIDARG;
    const bool flagged = TakesNarrowFlags(codePage);
    const DWORD flags = flagged ? WC_NO_BEST_FIT_CHARS : 0;
    const int count = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(codePage, flags, text.data(), count, nullptr, 0,
                                             nullptr, flagged ? &usedDefault : nullptr);
    if (length <= 0)
        return HResultFromLastError();
    if (usedDefault && unspellable == Unspellable::NotFound)
        return E_FAIL;
    narrow.resize(static_cast<size_t>(length));
    if (::WideCharToMultiByte(codePage, flags, text.data(), count, narrow.data(), length, nullptr,
                              nullptr) != length) {
        narrow.clear();
        return HResultFromLastError();
    }
    return S_OK;
} catch (...) {
    narrow.clear();
    return E_OUTOFMEMORY;
}

// `text` narrowed into the caller's `buffer` of `capacity` bytes, with no
// allocation: for names and texts read every frame. `written` is the byte
// count (a terminator only when `text` holds one); a text that does not fit
// gives HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) and `written` 0.
inline HRESULT NarrowInto(std::wstring_view text, char* buffer, size_t capacity, size_t& written,
                          UINT codePage = CP_THREAD_ACP,
                          Unspellable unspellable = Unspellable::DefaultCharacter) noexcept {
    written = 0;
    if (text.empty())
        return S_OK;
    if (text.size() > INT_MAX)
        return E_INVALIDARG;
    RETURN_HR_IF_NULL(E_POINTER, buffer);
    // A zero capacity would ask the size instead of writing.
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), capacity == 0);
    const bool flagged = TakesNarrowFlags(codePage);
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(
        codePage, flagged ? WC_NO_BEST_FIT_CHARS : 0, text.data(), static_cast<int>(text.size()),
        buffer, static_cast<int>(capacity < INT_MAX ? capacity : INT_MAX), nullptr,
        flagged ? &usedDefault : nullptr);
    if (length <= 0)
        return HResultFromLastError();
    if (usedDefault && unspellable == Unspellable::NotFound)
        return E_FAIL;
    written = static_cast<size_t>(length);
    return S_OK;
}

// A path for narrow file functions: never a different file than the one named.
inline HRESULT NarrowPath(std::wstring_view path, std::string& narrow,
                          UINT codePage = CP_THREAD_ACP) noexcept {
    return Narrow(path, narrow, codePage, Unspellable::NotFound);
}

} // namespace quorvel
