#include "screen/text_panels.h"

#include "screen/screen_metrics.h"
#include "settings/screen_texts.h"

namespace {

// Left edge that centres a text on the screen. The measured width is taken as its low
// 16 bits, unsigned; a text wider than the screen gets a negative x.
int centredX(win::HDC dc, const ScreenText& text) {
    win::SIZE size = {0, 0};
    win::GetTextExtentPoint32A(dc, text.bytes, text.count, &size);
    int width = static_cast<int>(static_cast<win::DWORD>(size.cx) & 0xFFFF);
    return (screenMetrics.screenWidth - width) / 2;
}

} // namespace

// The first line is centred; the other two start at its left edge, after one empty line.
void drawCalibrationText(win::HDC dc) {
    ScreenText line1 = screenText(CalibLine1);
    ScreenText line2 = screenText(CalibLine2);
    ScreenText line3 = screenText(CalibLine3);
    int lineHeight = screenMetrics.lineHeight;

    int x = centredX(dc, line1);
    int y = (screenMetrics.screenHeight * 3) / 4 - 2 * lineHeight + 30;
    win::TextOutA(dc, x, y, line1.bytes, line1.count);
    win::TextOutA(dc, x, y + 2 * lineHeight, line2.bytes, line2.count);
    win::TextOutA(dc, x, y + 3 * lineHeight, line3.bytes, line3.count);
}

// The help line along one edge, and a one-pixel separator across the whole width between it
// and the drawing area (LineTo leaves out its end point, so the last pixel is screenWidth - 1).
void drawTestBar(win::HDC dc, int barAtTop) {
    ScreenText help = screenText(TestHelpLine);
    int x = centredX(dc, help);
    int lineHeight = screenMetrics.lineHeight;

    if (barAtTop == 0) {
        int y = screenMetrics.screenHeight - lineHeight;
        win::TextOutA(dc, x, y, help.bytes, help.count);
        win::MoveToEx(dc, 0, y - 1, nullptr);
        win::LineTo(dc, screenMetrics.screenWidth, y - 1);
    } else {
        win::TextOutA(dc, x, 0, help.bytes, help.count);
        win::MoveToEx(dc, 0, lineHeight + 1, nullptr);
        win::LineTo(dc, screenMetrics.screenWidth, lineHeight + 1);
    }
}
