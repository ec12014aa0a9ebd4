// The calibration screen's instruction lines and the test screen's help line.
#pragma once

#include "platform/platform.h"

void drawCalibrationText(win::HDC dc);
void drawTestBar(win::HDC dc, int barAtTop);
