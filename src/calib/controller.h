// The calibration controller: the run's state and what the start request, paints, keys and
// touches do with it. The main window's procedure (main_window.h) hands these messages here.
#pragma once

#include "platform/platform.h"

struct CalibState {
    int testScreen; // 0 calibration screen, 1 test screen
    int pointIndex; // current target, 0-based
    int diagDone;   // DIAG has once been acknowledged
    int calInOk;    // result of the latest start request's CAL-IN
    int buttonDown; // a left-button press that this window saw on this screen in this run, and
                    // has not yet seen released
    int barAtTop;   // test screen: help line at the top (1) or bottom (0) edge
    // The controller's calibration is to begin anew (CAL-ABORT, CAL-IN) at the next paint of
    // the calibration screen outside a box or the dialog: set by the setup dialog's OK, and by
    // the restarts after a wake and on a new screen size.
    int paramsChanged;
    int startDue;      // a start request has been posted and not yet handled
    int wakeRestarted; // the run has been restarted for the latest wake from sleep
    int runEnded;      // the window has been destroyed
};
extern CalibState calibState;

// The program's instance handle, kept at window creation; the setup dialog loads its
// template with it.
extern win::HINSTANCE programInstance;

// Posts the start request (WM_USER) and marks it due: a WM_USER that arrives at any other
// time, posted by another program, is ignored.
void postStartRequest(win::HWND window);

void onStartRequest(win::HWND window);
void onPaint(win::HWND window);
void onButtonDown(win::HWND window, win::LPARAM lParam);
void onMouseMove(win::HWND window, win::LPARAM lParam);
void onButtonUp(win::HWND window, win::LPARAM lParam);
void onKeyDown(win::HWND window, win::WPARAM key, win::LPARAM lParam);

// Leaves the press the window saw unanswered: its release takes no point and draws nothing.
// A current target it had turned blue turns red again.
void forgetPress(win::HWND window);
// The targets start again from the first, and the controller's calibration anew at the next
// paint of the calibration screen outside a box or the dialog: at once when none is up, else
// when its closing has the window repainted.
void startTargetsAgain(win::HWND window);
// Ends the run as Esc does: CAL-ABORT, and the window is destroyed, which sends another.
void abandonRun(win::HWND window);
