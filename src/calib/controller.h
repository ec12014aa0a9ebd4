// The calibration controller: the main window's procedure and the run's state.
#pragma once

#include "platform/platform.h"

struct CalibState {
    int testScreen;    // 0 calibration screen, 1 test screen
    int pointIndex;    // current target, 0-based
    int diagDone;      // DIAG has once been acknowledged
    int calInOk;       // result of the latest start request's CAL-IN
    int buttonDown;    // between a left-button press and its release
    int barAtTop;      // test screen: help line at the top (1) or bottom (0) edge
    int paramsChanged; // the setup dialog's OK; consumed by the next calibration paint
    int startDue;      // a start request has been posted and not yet handled
};
extern CalibState calibState;

// Posts the start request (WM_USER) and marks it due: a WM_USER that arrives at any other
// time, posted by another program, is ignored.
void postStartRequest(win::HWND window);

win::LRESULT calibWindowProc(win::HWND window, win::UINT message, win::WPARAM wParam,
                             win::LPARAM lParam);
