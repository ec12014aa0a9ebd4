#include "calib/controller.h"

#include "calib/startup.h"
#include "link/commands.h"
#include "screen/cursor.h"
#include "screen/modal_window.h"
#include "screen/stroke.h"
#include "screen/target_grid.h"
#include "screen/text_panels.h"
#include "settings/setup_dialog.h"

CalibState calibState = {0, 0, 0, 0, 0, 0, 0, 0};

namespace {

constexpr win::LPARAM kAutoRepeatBit = 1 << 30;
constexpr win::UINT kFirstKeyMessage = 0x0100;   // WM_KEYDOWN
constexpr win::UINT kLastKeyMessage = 0x0109;    // WM_UNICHAR
constexpr win::UINT kFirstMouseMessage = 0x0200; // WM_MOUSEMOVE
constexpr win::UINT kLastMouseMessage = 0x020E;  // WM_MOUSEHWHEEL

// While a box or the setup dialog is up, Windows has disabled the window and the user's input
// goes to the modal window. What still arrives here was posted by another program: it must
// not send a command, draw or open a second modal window inside the first one's loop.
bool ignoredWhileModal(win::UINT message) {
    if (modalWindowsUp == 0)
        return false;
    bool key = message >= kFirstKeyMessage && message <= kLastKeyMessage;
    bool mouse = message >= kFirstMouseMessage && message <= kLastMouseMessage;
    return key || mouse || message == win::WM_USER;
}

// Every drawing act outside WM_PAINT gets the window's context and gives it back at once.
struct WindowDc {
    explicit WindowDc(win::HWND w) : window(w), dc(win::GetDC(w)) {}
    ~WindowDc() { win::ReleaseDC(window, dc); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    win::HWND window;
    win::HDC dc;
};

void repaintWhole(win::HWND window) {
    win::InvalidateRect(window, nullptr, win::TRUE);
}

void onStartRequest(win::HWND window) {
    if (!calibState.startDue)
        return;
    calibState.startDue = 0;
    if (!calibState.diagDone)
        calibState.diagDone = runDiag(window);
    if (calibState.diagDone)
        calibState.calInOk = sendCalIn(window);
    // The failing command has already shown its message box, if it has one.
    if (!calibState.diagDone || !calibState.calInOk)
        win::DestroyWindow(window);
}

void onPaint(win::HWND window) {
    win::PAINTSTRUCT paint = {};
    win::HDC dc = win::BeginPaint(window, &paint);
    if (calibState.testScreen) {
        drawTestBar(dc, calibState.barAtTop);
    } else {
        drawCalibrationText(dc);
        if (calibState.pointIndex < targetGrid.total)
            drawTargetMark(dc, calibState.pointIndex, 1, 0);
        // New settings take effect in the controller with the first paint after them.
        if (calibState.paramsChanged) {
            calibState.paramsChanged = 0;
            sendCalAbort();
            sendCalIn(window);
        }
    }
    win::EndPaint(window, &paint);
}

void onButtonDown(win::HWND window, win::LPARAM lParam) {
    calibState.buttonDown = 1;
    WindowDc canvas(window);
    if (calibState.testScreen)
        plotStroke(canvas.dc, lParam, StrokePress, calibState.barAtTop);
    else
        drawTargetMark(canvas.dc, calibState.pointIndex, 1, 1);
}

void onMouseMove(win::HWND window, win::LPARAM lParam) {
    if (!calibState.testScreen || !calibState.buttonDown)
        return;
    WindowDc canvas(window);
    plotStroke(canvas.dc, lParam, StrokeMove, calibState.barAtTop);
}

// The lift of the finger: the controller measures the point itself, the position is not used.
void acceptPoint(win::HWND window) {
    if (calibState.pointIndex >= targetGrid.total)
        return; // every target is taken: CAL-OUT has been sent
    bool lastTaken = false;
    {
        WindowDc canvas(window);
        if (!sendCalPoint()) {
            drawTargetMark(canvas.dc, calibState.pointIndex, 1, 0);
            return;
        }
        win::MessageBeep(0xFFFFFFFF);
        drawTargetMark(canvas.dc, calibState.pointIndex, 0, 0);
        calibState.pointIndex += 1;
        if (calibState.pointIndex < targetGrid.total)
            drawTargetMark(canvas.dc, calibState.pointIndex, 1, 0);
        else
            lastTaken = true;
    }
    // CAL-OUT may show a message box; the drawing context is given back before it.
    if (!lastTaken)
        return;
    if (sendCalOut(window)) {
        calibState.testScreen = 1;
        repaintWhole(window);
    } else {
        sendCalAbort();
        win::DestroyWindow(window);
    }
}

void onButtonUp(win::HWND window, win::LPARAM lParam) {
    calibState.buttonDown = 0;
    if (calibState.testScreen) {
        WindowDc canvas(window);
        plotStroke(canvas.dc, lParam, StrokeRelease, calibState.barAtTop);
    } else {
        acceptPoint(window);
    }
}

void switchScreen(win::HWND window) {
    calibState.testScreen = !calibState.testScreen;
    calibState.pointIndex = 0;
    repaintWhole(window);
    if (calibState.testScreen)
        sendCalAbort();
    else
        postStartRequest(window); // DIAG is not repeated: only CAL-IN
}

void runSetup(win::HWND window) {
    int previous = setCursorVisibility(CursorShow);
    // OK marks the settings as changed, even when no choice was changed, for the next paint,
    // which abandons the controller's calibration and begins it again from the first target.
    // Cancel, or a dialog that could not be shown, leaves the run where it was: the controller
    // keeps the points it has taken, so the targets must go on from the current one.
    if (runSetupDialog(window, programInstance) == 1) {
        calibState.paramsChanged = 1;
        calibState.pointIndex = 0;
    }
    configureGrid(calibSettings.pointCountId);
    repaintWhole(window);
    // Paint now rather than when the queue runs dry: after OK this paint restarts the
    // controller, which must happen before a touch that is already waiting is handled.
    win::UpdateWindow(window);
    setCursorVisibility(previous);
}

void onKeyDown(win::HWND window, win::WPARAM key, win::LPARAM lParam) {
    if (lParam & kAutoRepeatBit)
        return; // a held key acts once
    bool test = calibState.testScreen != 0;
    switch (key) {
    case win::VK_TAB:
        setCursorVisibility(CursorToggle);
        break;
    case win::VK_RETURN:
        if (test)
            win::DestroyWindow(window);
        break;
    case win::VK_ESCAPE:
        if (!test) {
            sendCalAbort();
            win::DestroyWindow(window);
        }
        break;
    case win::VK_DELETE:
        if (test) {
            calibState.barAtTop = !calibState.barAtTop;
            repaintWhole(window);
        }
        break;
    case '0':
    case win::VK_NUMPAD0:
        switchScreen(window);
        break;
    case '1':
    case win::VK_NUMPAD1:
        if (!test)
            runSetup(window);
        break;
    default:
        break;
    }
}

} // namespace

void postStartRequest(win::HWND window) {
    calibState.startDue = 1;
    win::PostMessageA(window, win::WM_USER, 0, 0);
}

win::LRESULT calibWindowProc(win::HWND window, win::UINT message, win::WPARAM wParam,
                             win::LPARAM lParam) {
    if (ignoredWhileModal(message))
        return 0;
    switch (message) {
    case win::WM_CREATE:
        return onCreate(window, reinterpret_cast<const win::CREATESTRUCTA*>(lParam));
    case win::WM_DESTROY:
        return onDestroy(window);
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
    default:
        return win::DefWindowProcA(window, message, wParam, lParam);
    }
}
