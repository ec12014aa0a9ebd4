// What Windows itself does around a run: log-off and shut-down, the screen saver and display
// power, sleep and wake, and display changes.
#pragma once

#include "platform/platform.h"

// WM_ENDSESSION: wParam TRUE when the session ends, FALSE when the log-off was cancelled.
void onEndSession(win::HWND window, win::WPARAM ending);
// WM_SYSCOMMAND: false for the commands the program refuses, which must not reach
// DefWindowProcA.
bool systemCommandAllowed(win::WPARAM command, win::LPARAM lParam);
// WM_POWERBROADCAST, which is answered TRUE whatever the event.
void onPowerEvent(win::HWND window, win::WPARAM event);
// WM_DISPLAYCHANGE.
void onDisplayChange(win::HWND window);
