#include "calib/controller.h"

#include "link/commands.h"
#include "screen/cursor.h"
#include "screen/stroke.h"
#include "screen/target_grid.h"
#include "screen/text_panels.h"
#include "settings/setup_dialog.h"

CalibState calibState = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
win::HINSTANCE programInstance = nullptr;

namespace {

constexpr win::LPARAM kAutoRepeatBit = 1 << 30;

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

// The controller's calibration begins anew: new settings, a wake, a new screen size. Never
// inside a box's or the dialog's loop, where a message box of CAL-IN's would open a second
// modal window inside the first.
void restartInController(win::HWND window) {
    calibState.paramsChanged = 0;
    sendCalAbort();
    sendCalIn(window); // a refusal has shown its box; the calibration screen stays
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
        abandonRun(window);
    }
}

void switchScreen(win::HWND window) {
    calibState.testScreen = !calibState.testScreen;
    calibState.pointIndex = 0;
    calibState.buttonDown = 0; // a press on the other screen is no touch or stroke on this one
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
    bool ok = runSetupDialog(window, programInstance) == 1;
    configureGrid(calibSettings.pointCountId);
    if (ok) {
        startTargetsAgain(window);
    } else {
        repaintWhole(window);
        win::UpdateWindow(window);
    }
    setCursorVisibility(previous);
}

} // namespace

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
        // New settings take effect in the controller with the first paint after them; a paint
        // inside a box's or the dialog's loop leaves it to the first one after.
        if (calibState.paramsChanged && modalWindowsUp() == 0)
            restartInController(window);
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

// Only the release of a press that this window saw counts. The button may have gone down
// on another window (the tap that started the program or ended the screen saver), before
// a screen switch or a restart, or before a box or the dialog opened; such a lift is no touch
// of the current target.
void onButtonUp(win::HWND window, win::LPARAM lParam) {
    if (!calibState.buttonDown)
        return;
    calibState.buttonDown = 0;
    if (calibState.testScreen) {
        WindowDc canvas(window);
        plotStroke(canvas.dc, lParam, StrokeRelease, calibState.barAtTop);
    } else {
        acceptPoint(window);
    }
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
        if (!test)
            abandonRun(window);
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

void postStartRequest(win::HWND window) {
    calibState.startDue = 1;
    win::PostMessageA(window, win::WM_USER, 0, 0);
}

void forgetPress(win::HWND window) {
    bool blueTarget =
        calibState.buttonDown && !calibState.testScreen && calibState.pointIndex < targetGrid.total;
    calibState.buttonDown = 0;
    if (blueTarget) {
        WindowDc canvas(window);
        drawTargetMark(canvas.dc, calibState.pointIndex, 1, 0);
    }
}

void startTargetsAgain(win::HWND window) {
    calibState.paramsChanged = 1;
    calibState.pointIndex = 0;
    calibState.buttonDown = 0;
    repaintWhole(window);
    // Paint now rather than when the queue runs dry: the restart must come before a touch
    // that is already waiting. Inside a box's or the dialog's loop the paint leaves the restart
    // to the repaint of what the box or dialog covered, once it has closed.
    if (modalWindowsUp() == 0)
        win::UpdateWindow(window);
}

void abandonRun(win::HWND window) {
    sendCalAbort();
    win::DestroyWindow(window);
}
