// Start-up: one copy at a time, the window over the whole screen, the message loop and the
// end of the run (runProgram, declared in platform.h).
#pragma once

// The named mutex that a running copy holds, in the namespace that all sessions share.
extern const char kOneCopyMutexName[];
// The window's class, by which a second copy finds the first one's window.
extern const char kMainWindowClass[];
