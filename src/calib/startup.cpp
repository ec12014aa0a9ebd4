// Start-up: one copy at a time, the window over the whole screen, the message loop and the
// end of the run (runProgram, declared in platform.h).
#include "calib/controller.h"
#include "calib/main_window.h"
#include "screen/screen_metrics.h"

namespace {

// Held by a running copy, in the namespace that all sessions share.
const char kOneCopyMutexName[] = "Global\\panelcal-calibration";
// By the window's class, a second copy finds the first one's window.
const char kMainWindowClass[] = "CALIB:MAIN";
const char kWindowText[] = "Calibration";

// Two copies would send DIAG and CAL-IN under each other's run. A second copy (two double
// taps on a slow machine, the Startup folder and a start by hand, another user's session)
// brings the running one's window to the front, where Windows lets it, and ends. The mutex
// stays held until the process ends.
bool anotherCopyRuns() {
    win::HANDLE mutex = win::CreateMutexA(nullptr, win::FALSE, kOneCopyMutexName);
    win::DWORD error = win::GetLastError();
    if (mutex != nullptr)
        return error == win::ERROR_ALREADY_EXISTS;
    // Another user's session made it, and its access rights leave this one out.
    return error == win::ERROR_ACCESS_DENIED;
}

void showRunningCopy() {
    win::HWND running = win::FindWindowA(kMainWindowClass, nullptr);
    if (running != nullptr) // in another session it cannot be found
        win::SetForegroundWindow(running);
}

void registerWindowClass(win::HINSTANCE instance) {
    win::WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = 0;
    wc.lpfnWndProc = calibWindowProc;
    wc.hInstance = instance;
    wc.hCursor = win::LoadCursorA(nullptr, win::MAKEINTRESOURCEA(win::IDC_ARROW_ID));
    wc.hbrBackground = static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH));
    wc.lpszClassName = kMainWindowClass;
    win::RegisterClassExA(&wc);
}

// A shortcut set to "Minimized" or a launcher's SW_HIDE would leave the controller
// calibrating with nothing on the screen to touch: the window always comes up.
int showValueOverTheScreen(int showValue) {
    switch (showValue) {
    case win::SW_HIDE:
    case win::SW_SHOWMINIMIZED:
    case win::SW_MINIMIZE:
    case win::SW_SHOWMINNOACTIVE:
    case win::SW_FORCEMINIMIZE:
        return win::SW_SHOWNORMAL;
    default:
        return showValue;
    }
}

} // namespace

int runProgram(win::HINSTANCE instance, int showValue) {
    if (anotherCopyRuns()) {
        showRunningCopy();
        return 0;
    }
    registerWindowClass(instance);
    screenMetrics.screenWidth = win::GetSystemMetrics(win::SM_CXSCREEN);
    screenMetrics.screenHeight = win::GetSystemMetrics(win::SM_CYSCREEN);

    // Above every ordinary window, covering the whole screen, with no frame of its own.
    win::HWND window = win::CreateWindowExA(
        win::WS_EX_TOPMOST, kMainWindowClass, kWindowText,
        win::WS_POPUP | win::WS_VISIBLE | win::WS_MAXIMIZE, 0, 0, screenMetrics.screenWidth,
        screenMetrics.screenHeight, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 0; // without a window no WM_QUIT could ever come

    // The display stays on and the machine awake while the program runs (until its thread
    // ends): a power plan's idle time does not apply during a calibration.
    win::SetThreadExecutionState(win::ES_CONTINUOUS | win::ES_DISPLAY_REQUIRED |
                                 win::ES_SYSTEM_REQUIRED);
    win::ShowWindow(window, showValueOverTheScreen(showValue));
    // Started by a program that is not in the foreground (at logon, by a scheduled task or a
    // remote tool), the window is shown but not active, and keys would go to the window that
    // was. Windows may refuse, which does no harm: the first touch activates it.
    win::SetForegroundWindow(window);
    // The calibration screen is painted before anything is sent to the controller.
    win::UpdateWindow(window);
    postStartRequest(window);

    win::MSG msg = {};
    while (win::GetMessageA(&msg, nullptr, 0, 0)) {
        win::TranslateMessage(&msg);
        win::DispatchMessageA(&msg);
    }
    // The program posts its WM_QUIT only once the window is gone. A WM_QUIT that another
    // program posted ends the loop with the window still up: the run ends as Esc ends it.
    if (!calibState.runEnded)
        abandonRun(window);
    return 0;
}
