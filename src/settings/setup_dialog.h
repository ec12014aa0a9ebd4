// The modal setup dialog and the choices it holds for the run.
#pragma once

#include "platform/platform.h"

// Each field holds the id of the radio button that stands for the choice.
struct CalibSettings {
    int panelSizeId;  // 10..13: 12.1, 10.4, 8.4, 6.7 inch
    int pointCountId; // 20: 9 points, 21: 20 points
    int cableDirId;   // 30..33: cable at the right, upper, left, lower edge
};
extern CalibSettings calibSettings;

// Runs the dialog modally over window, its template loaded from instance: 1 after OK, which
// has committed the choices, 0 after Cancel (-1 when the dialog could not be shown).
win::INT_PTR runSetupDialog(win::HWND window, win::HINSTANCE instance);
win::INT_PTR setupDialogProc(win::HWND dialog, win::UINT message, win::WPARAM wParam,
                             win::LPARAM lParam);
