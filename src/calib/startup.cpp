#include "calib/startup.h"

#include "calib/controller.h"
#include "link/commands.h"
#include "settings/language.h"

win::HINSTANCE programInstance = nullptr;
const char kTabletPenServiceProperty[] = "MicrosoftTabletPenServiceProperty";

namespace {

const char kClassName[] = "CALIB:MAIN";
const char kWindowText[] = "Calibration";

void registerWindowClass(win::HINSTANCE instance) {
    win::WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = 0;
    wc.lpfnWndProc = calibWindowProc;
    wc.hInstance = instance;
    wc.hCursor = win::LoadCursorA(nullptr, win::MAKEINTRESOURCEA(win::IDC_ARROW_ID));
    wc.hbrBackground = static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH));
    wc.lpszClassName = kClassName;
    win::RegisterClassExA(&wc);
}

} // namespace

int runProgram(win::HINSTANCE instance, int showValue) {
    registerWindowClass(instance);
    screenMetrics.screenWidth = win::GetSystemMetrics(win::SM_CXSCREEN);
    screenMetrics.screenHeight = win::GetSystemMetrics(win::SM_CYSCREEN);

    // Above every ordinary window, covering the whole screen, with no frame of its own.
    win::HWND window = win::CreateWindowExA(
        win::WS_EX_TOPMOST, kClassName, kWindowText,
        win::WS_POPUP | win::WS_VISIBLE | win::WS_MAXIMIZE, 0, 0, screenMetrics.screenWidth,
        screenMetrics.screenHeight, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 0; // without a window no WM_QUIT could ever come

    win::ShowWindow(window, showValue);
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
    return static_cast<int>(msg.wParam);
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
    // Every end of the run leaves the controller out of calibration.
    sendCalAbort();
    win::PostQuitMessage(0);
    return 0;
}
