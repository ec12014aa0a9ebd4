// Helpers shared by the host tests: a fresh process, and the screen positions of targets.
#pragma once

#include "platform/host/sim.h"
#include "program_state.h"

#include <string>
#include <vector>

// A run that ended as it should: exit code 0, the window gone, every scripted input and
// dialog taken (an early end would skip the checks still in the script), the program not left
// waiting for input the script did not give, no drawing context, paint or device handle left open,
// and no misuse the simulation noticed.
void expectCleanEnd(int exitCode);

// Where target i lies on a 1024 x 768 screen, from the layouts' own tables: down each
// column from the top, columns left to right.
struct Pixel {
    int x, y;
};
Pixel nineGridTarget(int index);
Pixel twentyGridTarget(int index);

// Touches (presses and releases at) the first `count` targets of a layout, in order.
void touchTargets(int count, Pixel (*where)(int));

// The requests the controller has received, as hex strings.
std::vector<std::string> sentRequests();

// A plain window at (0, 0) on a fresh class whose procedure leaves everything to
// DefWindowProcA: something to draw on and to own message boxes, without the program's own.
win::HWND openPlainWindow(int width, int height);

// A UTF-8 text in the Shift-JIS bytes (code page 932) the program stores it in.
std::string toShiftJis(const std::string& utf8);

// Fixed request texts.
extern const char* const kDiag;
extern const char* const kCalInDefault;
extern const char* const kCalPoint;
extern const char* const kCalOut;
extern const char* const kCalAbort;
