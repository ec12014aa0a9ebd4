#include "screen/text_panels.h"

// Stand-ins until the text drawing arrives.
void drawCalibrationText(win::HDC) {}
void drawTestBar(win::HDC, int) {}
