#include "screen/stroke.h"

StrokeState strokeState = {0, 0, 0};

// Stand-in until free-hand drawing arrives.
void plotStroke(win::HDC, win::LPARAM, int, int) {}
