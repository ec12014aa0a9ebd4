// Start-up and the frame of the one full-screen window.
#pragma once

#include "platform/platform.h"
#include "screen/screen_metrics.h"

// The program's instance handle, kept at window creation; the setup dialog loads its
// template with it.
extern win::HINSTANCE programInstance;

// WM_CREATE and WM_DESTROY of the main window; both return 0.
win::LRESULT onCreate(win::HWND window, const win::CREATESTRUCTA* creation);
win::LRESULT onDestroy(win::HWND window);
