// Drawing: stock objects, text in the default font, lines and pixels.
#include "platform/win32/native.h"

using native::cast;
using native::WideText;

namespace win {

HGDIOBJ GetStockObject(int index) {
    return ::GetStockObject(index);
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
    ::TEXTMETRICA nativeMetrics = {};
    const BOOL ok = ::GetTextMetricsA(cast(dc), &nativeMetrics);
    if (ok && metrics != nullptr) {
        metrics->tmHeight = nativeMetrics.tmHeight;
        metrics->tmAscent = nativeMetrics.tmAscent;
        metrics->tmDescent = nativeMetrics.tmDescent;
        metrics->tmInternalLeading = nativeMetrics.tmInternalLeading;
        metrics->tmExternalLeading = nativeMetrics.tmExternalLeading;
        metrics->tmAveCharWidth = nativeMetrics.tmAveCharWidth;
        metrics->tmMaxCharWidth = nativeMetrics.tmMaxCharWidth;
    }
    return ok;
}

// Measured through the same conversion as TextOutA draws, so that width and drawing agree.
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size) {
    const WideText wide(text, count);
    if (count >= 0 && text != nullptr && wide.ok())
        return ::GetTextExtentPoint32W(cast(dc), wide.str(), wide.length(), cast(size));
    return ::GetTextExtentPoint32A(cast(dc), text, count, cast(size));
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int count) {
    const WideText wide(text, count);
    if (count >= 0 && text != nullptr && wide.ok())
        return ::TextOutW(cast(dc), x, y, wide.str(), wide.length());
    return ::TextOutA(cast(dc), x, y, text, count);
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
    return ::MoveToEx(cast(dc), x, y, cast(previous));
}

BOOL LineTo(HDC dc, int x, int y) {
    return ::LineTo(cast(dc), x, y);
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
    return ::SetPixel(cast(dc), x, y, colour);
}

} // namespace win
