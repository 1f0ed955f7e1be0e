// quorvel-session-keeper: does nothing, for as long as the kept Wine session
// of scripts/quorvel-render lives. Wine ends its desktop process once no
// program has a window on it, and the next program then waits seconds for a
// new one; this program keeps a hidden window there.

#include <windows.h>

int main() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuorvelSessionKeeper";
    ::RegisterClassW(&windowClass);
    // Never shown.
    ::CreateWindowW(windowClass.lpszClassName, L"quorvel-session-keeper", WS_OVERLAPPEDWINDOW, 0, 0,
                    16, 16, nullptr, nullptr, windowClass.hInstance, nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&message);
    return 0;
}
