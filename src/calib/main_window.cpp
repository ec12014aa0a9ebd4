#include "calib/main_window.h"

#include "calib/controller.h"
#include "calib/system_events.h"
#include "link/commands.h"
#include "screen/cursor.h"
#include "screen/screen_metrics.h"
#include "settings/language.h"

#include <cstdint>

const char kTabletPenServiceProperty[] = "MicrosoftTabletPenServiceProperty";

namespace {

constexpr win::UINT kFirstKeyMessage = 0x0100;   // WM_KEYDOWN
constexpr win::UINT kLastKeyMessage = 0x0109;    // WM_UNICHAR
constexpr win::UINT kFirstMouseMessage = 0x0200; // WM_MOUSEMOVE
constexpr win::UINT kLastMouseMessage = 0x020E;  // WM_MOUSEHWHEEL

// While a box or the setup dialog is up, Windows has disabled the window and the user's input
// goes to the modal window. What still arrives here was posted by another program: it must
// not send a command, draw or open a second modal window inside the first one's loop.
bool ignoredWhileModal(win::UINT message) {
    if (modalWindowsUp() == 0)
        return false;
    bool key = message >= kFirstKeyMessage && message <= kLastKeyMessage;
    bool mouse = message >= kFirstMouseMessage && message <= kLastMouseMessage;
    return key || mouse || message == win::WM_USER;
}

} // namespace

win::LRESULT calibWindowProc(win::HWND window, win::UINT message, win::WPARAM wParam,
                             win::LPARAM lParam) {
    if (ignoredWhileModal(message))
        return 0;
    switch (message) {
    case win::WM_CREATE:
        return onCreate(window, reinterpret_cast<const win::CREATESTRUCTA*>(lParam));
    case win::WM_DESTROY:
        return onDestroy(window);
    // The run (controller.cpp).
    case win::WM_USER:
        onStartRequest(window);
        return 0;
    case win::WM_PAINT:
        onPaint(window);
        return 0;
    case win::WM_LBUTTONDOWN:
        onButtonDown(window, lParam);
        return 0;
    case win::WM_MOUSEMOVE:
        onMouseMove(window, lParam);
        return 0;
    case win::WM_LBUTTONUP:
        onButtonUp(window, lParam);
        return 0;
    case win::WM_KEYDOWN:
        onKeyDown(window, wParam, lParam);
        return 0;
    case win::WM_SETFOCUS:
    case win::WM_KILLFOCUS:
        setCursorVisibility(CursorShow);
        return 0;
    case win::WM_TABLET_QUERYSYSTEMGESTURESTATUS:
        return kTabletGesturesOff;
    // What Windows itself does around a run (system_events.cpp).
    case win::WM_CANCELMODE: // a box or dialog disables the window and takes the press
        forgetPress(window);
        break;
    case win::WM_QUERYENDSESSION:
        return win::TRUE; // a log-off or shut-down is never held up
    case win::WM_ENDSESSION:
        onEndSession(window, wParam);
        return 0;
    case win::WM_SYSCOMMAND:
        if (!systemCommandAllowed(wParam, lParam))
            return 0;
        break;
    case win::WM_POWERBROADCAST:
        onPowerEvent(window, wParam);
        return win::TRUE;
    case win::WM_DISPLAYCHANGE:
        onDisplayChange(window);
        return 0;
    default:
        break;
    }
    return win::DefWindowProcA(window, message, wParam, lParam);
}

win::LRESULT onCreate(win::HWND window, const win::CREATESTRUCTA* creation) {
    // No font is selected: the texts are drawn in the context's default font.
    win::HDC dc = win::GetDC(window);
    win::TEXTMETRICA metrics = {};
    win::GetTextMetricsA(dc, &metrics);
    screenMetrics.lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
    win::ReleaseDC(window, dc);

    programInstance = creation->hInstance;
    detectLanguage();

    // With a Japanese input method on, the digits would start a composition over the window
    // and the next Enter would commit it: the window takes no input method at all.
    win::ImmAssociateContext(window, nullptr);
    win::SetPropA(window, kTabletPenServiceProperty,
                  reinterpret_cast<win::HANDLE>(static_cast<std::uintptr_t>(kTabletGesturesOff)));
    return 0;
}

win::LRESULT onDestroy(win::HWND window) {
    win::RemovePropA(window, kTabletPenServiceProperty); // a window takes none of them along
    calibState.runEnded = 1;
    // Every end of the run leaves the controller out of calibration.
    sendCalAbort();
    win::PostQuitMessage(0);
    return 0;
}
