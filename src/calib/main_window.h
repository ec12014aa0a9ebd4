// The one full-screen window: its procedure, which hands each message to the handler that does
// the work, and the two messages that open and close its life.
#pragma once

#include "platform/platform.h"

// On a touch digitizer (Windows 7 and later), Windows turns a press held on the panel into a
// right click, may hold the left-button messages back until the finger lifts, and takes quick
// strokes for flicks. The main window opts out of press-and-hold, flicks and the pen's
// feedback: TABLET_DISABLE_PRESSANDHOLD, _PENTAPFEEDBACK, _PENBARRELFEEDBACK and _FLICKS.
// Windows 7 asks the window with WM_TABLET_QUERYSYSTEMGESTURESTATUS; Windows 8 and later
// read the same flags from the window's tablet pen service property. XP asks neither.
constexpr win::DWORD kTabletGesturesOff = 0x00000001 | 0x00000008 | 0x00000010 | 0x00010000;
extern const char kTabletPenServiceProperty[];

win::LRESULT calibWindowProc(win::HWND window, win::UINT message, win::WPARAM wParam,
                             win::LPARAM lParam);

// WM_CREATE and WM_DESTROY of the main window; both return 0.
win::LRESULT onCreate(win::HWND window, const win::CREATESTRUCTA* creation);
win::LRESULT onDestroy(win::HWND window);
