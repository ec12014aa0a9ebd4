#include "screen/stroke.h"

#include "screen/screen_metrics.h"
#include "screen/target_grid.h"

StrokeState strokeState = {0, 0, 0};

namespace {

// Rows of the help band and its separator, where no stroke may go.
int inHelpBand(int y, int barAtTop) {
    if (barAtTop == 0) {
        return y >= screenMetrics.screenHeight - screenMetrics.lineHeight - 1 ? 1 : 0;
    }
    return y <= screenMetrics.lineHeight + 1 ? 1 : 0;
}

} // namespace

// Joins each accepted point to the last one while a stroke is open; a point in the band
// closes the stroke, so no line is ever drawn across the band.
void plotStroke(win::HDC dc, win::LPARAM point, int phase, int barAtTop) {
    win::DWORD packed = static_cast<win::DWORD>(point);
    int x = static_cast<int>(packed & 0xFFFF);
    int y = static_cast<int>((packed >> 16) & 0xFFFF);

    if (inHelpBand(y, barAtTop)) {
        strokeState.strokeOpen = 0;
        return;
    }

    if (phase != StrokePress && strokeState.strokeOpen == 1) {
        win::MoveToEx(dc, strokeState.lastX, strokeState.lastY, nullptr);
        win::LineTo(dc, x, y);
    } else {
        win::SetPixel(dc, x, y, kBlack);
    }

    strokeState.lastX = x;
    strokeState.lastY = y;
    strokeState.strokeOpen = phase != StrokeRelease ? 1 : 0;
}
