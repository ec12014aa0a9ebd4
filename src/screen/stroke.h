// Free-hand drawing on the test screen.
#pragma once

#include "platform/platform.h"

struct StrokeState {
    int lastX;
    int lastY;
    int strokeOpen;
};
extern StrokeState strokeState;

enum StrokePhase { StrokePress = 0, StrokeMove = 1, StrokeRelease = 2 };

// point is packed as a mouse message's lParam: x low 16 bits, y high 16 bits, unsigned.
void plotStroke(win::HDC dc, win::LPARAM point, int phase, int barAtTop);
