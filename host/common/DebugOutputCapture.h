#pragma once

// Text this process writes to the debugger output (OutputDebugStringA/W),
// taken while a capture is alive. Under Wine the output arrives first as
// DBG_PRINTEXCEPTION_C / _WIDE_C; a vectored handler takes the text and
// continues. Narrow text is converted with CP_ACP. Shared by the render tool
// and the tests.

#include <windows.h>

#include <mutex>
#include <string>

namespace quorvel {

class DebugOutputCapture {
  public:
    // Starts with nothing captured.
    DebugOutputCapture() {
        clear();
        m_handler = ::AddVectoredExceptionHandler(1, &DebugOutputCapture::OnException);
    }
    ~DebugOutputCapture() {
        if (m_handler)
            ::RemoveVectoredExceptionHandler(m_handler);
    }
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    // Everything captured so far.
    std::wstring text() const {
        std::lock_guard<std::mutex> lock(Captured().mutex);
        return Captured().text;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(Captured().mutex);
        Captured().text.clear();
    }
    // Everything captured so far, leaving nothing behind.
    std::wstring Take() {
        std::lock_guard<std::mutex> lock(Captured().mutex);
        std::wstring text;
        text.swap(Captured().text);
        return text;
    }

  private:
    static constexpr DWORD kDbgPrintException = 0x40010006;     // DBG_PRINTEXCEPTION_C
    static constexpr DWORD kDbgPrintWideException = 0x4001000A; // DBG_PRINTEXCEPTION_WIDE_C

    struct Text {
        std::mutex mutex;
        std::wstring text;
    };
    static Text& Captured() {
        static Text captured;
        return captured;
    }

    static LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        if (record->NumberParameters < 2)
            return EXCEPTION_CONTINUE_SEARCH;
        if (record->ExceptionCode == kDbgPrintWideException) {
            const auto* text = reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]);
            const size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
            std::lock_guard<std::mutex> lock(Captured().mutex);
            if (text && length > 0)
                Captured().text.append(text, length - 1);
            return EXCEPTION_CONTINUE_EXECUTION;
        }
        if (record->ExceptionCode == kDbgPrintException) {
            const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
            const int n = text ? ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0) : 0;
            if (n > 1) {
                std::wstring wide(static_cast<size_t>(n), L'\0');
                ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
                wide.resize(static_cast<size_t>(n - 1));
                std::lock_guard<std::mutex> lock(Captured().mutex);
                Captured().text += wide;
            }
            return EXCEPTION_CONTINUE_EXECUTION;
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    void* m_handler = nullptr;
};

} // namespace quorvel
