#include "calib/system_events.h"

#include "calib/controller.h"
#include "screen/screen_metrics.h"

namespace {

constexpr win::WPARAM kSystemCommandMask = 0xFFF0; // Windows uses the low four bits itself
constexpr win::LPARAM kDisplayOn = -1;

// The controller may have been reset while the machine slept, and would then refuse every
// point without a word: the calibration starts again from the first target, as after new
// settings. The test screen stays as it is.
void restartAfterWake(win::HWND window) {
    calibState.wakeRestarted = 1;
    if (!calibState.testScreen)
        startTargetsAgain(window);
}

} // namespace

// Windows may end the process as soon as this returns, without WM_DESTROY: the controller
// must be out of calibration by then.
void onEndSession(win::HWND window, win::WPARAM ending) {
    if (ending)
        abandonRun(window);
}

// A technician may leave the panel mid-run for longer than the screen saver's or the
// display's idle time. The touch that would end the screen saver, or its lift, must not
// become a point, so neither starts: the screen stays on while the program runs. Every other
// command goes on to DefWindowProcA (Alt+F4 among them).
bool systemCommandAllowed(win::WPARAM command, win::LPARAM lParam) {
    switch (command & kSystemCommandMask) {
    case win::SC_SCREENSAVE:
        return false;
    case win::SC_MONITORPOWER:
        return lParam == kDisplayOn;
    default:
        return true;
    }
}

// A wake brings PBT_APMRESUMEAUTOMATIC, and PBT_APMRESUMESUSPEND after it when a user is
// there, or PBT_APMRESUMECRITICAL (XP) after a suspension that had no notice: one restart
// per wake.
void onPowerEvent(win::HWND window, win::WPARAM event) {
    switch (event) {
    case win::PBT_APMSUSPEND:
        calibState.wakeRestarted = 0;
        break;
    case win::PBT_APMRESUMEAUTOMATIC:
    case win::PBT_APMRESUMECRITICAL:
        restartAfterWake(window);
        break;
    case win::PBT_APMRESUMESUSPEND:
        if (!calibState.wakeRestarted)
            restartAfterWake(window);
        break;
    default:
        break;
    }
}

// A rotation, a new mode or another monitor: the window covers the new screen, and targets
// placed by the old size would lie elsewhere on the panel than the controller takes them, so
// the calibration starts again on the new size. The test screen is drawn again at it.
void onDisplayChange(win::HWND window) {
    int width = win::GetSystemMetrics(win::SM_CXSCREEN);
    int height = win::GetSystemMetrics(win::SM_CYSCREEN);
    if (width == screenMetrics.screenWidth && height == screenMetrics.screenHeight)
        return;
    screenMetrics.screenWidth = width;
    screenMetrics.screenHeight = height;
    win::MoveWindow(window, 0, 0, width, height, win::TRUE);
    if (calibState.testScreen)
        win::InvalidateRect(window, nullptr, win::TRUE);
    else
        startTargetsAgain(window);
}
