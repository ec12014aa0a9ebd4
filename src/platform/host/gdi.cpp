// The screen: a 32-bit framebuffer, drawing contexts with their clipping, paints and the
// window's invalid area, pixels, zero-width lines and text cells; stock objects and cursors.
#include "platform/host/sim_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {
namespace detail {

namespace {

constexpr std::uintptr_t kStockBase = 0x00F00000;
constexpr std::uintptr_t kCursorBase = 0x00E00000;
constexpr std::uintptr_t kColorWindowBrush = 5 + 1; // COLOR_WINDOW + 1 as a class brush

bool validStockIndex(int index) {
    return index >= 0 && index <= 19 && index != 9; // there is no stock object 9
}

bool isSystemCursorId(std::uintptr_t id) {
    static const std::uintptr_t ids[] = {32512, 32513, 32514, 32515, 32516, 32640, 32641, 32642,
                                         32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651};
    for (std::uintptr_t known : ids)
        if (id == known)
            return true;
    return false;
}

// The framebuffer holds the whole desktop, of which the screen is the top-left part.
int screenWidth() {
    const sim::Config& c = state().config;
    return std::max(0, std::max(c.screenWidth, c.desktopWidth));
}

int screenHeight() {
    const sim::Config& c = state().config;
    return std::max(0, std::max(c.screenHeight, c.desktopHeight));
}

win::RECT intersect(const win::RECT& a, const win::RECT& b) {
    win::RECT r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom)
        r = win::RECT{0, 0, 0, 0};
    return r;
}

bool isEmpty(const win::RECT& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

win::RECT screenRect() {
    return win::RECT{0, 0, screenWidth(), screenHeight()};
}

win::RECT offset(const win::RECT& r, const win::POINT& by) {
    return win::RECT{r.left + by.x, r.top + by.y, r.right + by.x, r.bottom + by.y};
}

win::POINT windowOrigin() {
    const win::RECT& r = state().window.rect;
    return win::POINT{r.left, r.top};
}

bool inside(const win::RECT& r, long long x, long long y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool within(const win::RECT& inner, const win::RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Whether an open message box or dialog lies over this screen pixel.
bool covered(const State& s, long long x, long long y) {
    for (const win::RECT& r : s.covers)
        if (inside(r, x, y))
            return true;
    return false;
}

// Sets a pixel of the program's drawing unless a box or dialog lies over it, and notes it if
// it lies outside the program's window.
void setDrawn(State& s, int width, long long x, long long y, win::COLORREF colour) {
    if (covered(s, x, y))
        return;
    if (!s.window.exists || !inside(s.window.rect, x, y))
        ++s.drawnOutsideWindow;
    s.pixels[static_cast<size_t>(y) * width + static_cast<size_t>(x)] = colour;
}

// Fills a rectangle given in screen coordinates, limited to clip; the main window's drawing
// does not reach under a box or dialog that lies above it. underCovers: the box or dialog's
// own face, drawn by the system rather than the program.
void fill(const win::RECT& area, const win::RECT& clip, win::COLORREF colour,
          bool underCovers = false) {
    win::RECT r = intersect(intersect(area, clip), screenRect());
    State& s = state();
    int width = screenWidth();
    // Nothing over the area and all of it in the window: every pixel is simply set.
    bool plain = underCovers || (s.covers.empty() && s.window.exists && within(r, s.window.rect));
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (plain)
                s.pixels[static_cast<size_t>(y) * width + x] = colour;
            else
                setDrawn(s, width, x, y, colour);
}

DrawingContext* findDc(win::HDC handle) {
    for (DrawingContext& dc : state().dcs)
        if (dc.handle == handle && handle)
            return &dc;
    return nullptr;
}

// A drawing context that can still draw: known, and its window still there.
DrawingContext* usableDc(win::HDC handle) {
    DrawingContext* dc = findDc(handle);
    if (!dc || (dc->window && !isMainWindow(dc->window)))
        return nullptr;
    return dc;
}

void plot(const DrawingContext& dc, long long x, long long y, win::COLORREF colour) {
    long long sx = x + dc.origin.x, sy = y + dc.origin.y;
    if (inside(dc.clip, sx, sy))
        setDrawn(state(), screenWidth(), sx, sy, colour);
}

// The colour a brush paints, if it paints at all.
bool brushColour(win::HBRUSH brush, win::COLORREF* colour) {
    int stock = stockIndexOf(brush);
    static const win::COLORREF stockColours[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    if (stock >= 0 && stock <= 4) {
        *colour = stockColours[stock];
        return true;
    }
    if (reinterpret_cast<std::uintptr_t>(brush) == kColorWindowBrush) {
        *colour = kWhite;
        return true;
    }
    if (brush && stock != 5) // 5 is the null brush, which paints nothing
        noteError("a class background brush the simulation does not know");
    return false;
}

// Validates the window's invalid area: the area (client coordinates) is returned, and whether
// it is to be erased first.
win::RECT takeInvalidArea(bool* erase) {
    State& s = state();
    MainWindow& w = s.window;
    win::RECT area = w.invalid ? w.invalidRect : win::RECT{0, 0, 0, 0};
    *erase = w.invalid && w.eraseRequested;
    w.invalid = false;
    w.eraseRequested = false;
    s.paintRepeats = 0;
    return area;
}

// What BeginPaint does: validates the invalid area and gives a drawing context clipped to it,
// after sending WM_ERASEBKGND with that context to the window procedure when the area is to be
// erased. eraseLeft: the procedure left the erasing undone (it returned 0).
win::HDC beginPaintOf(win::HWND window, win::RECT* area, bool* eraseLeft) {
    State& s = state();
    bool erase = false;
    *area = takeInvalidArea(&erase);
    DrawingContext dc = {};
    dc.handle = reinterpret_cast<win::HDC>(newHandle());
    dc.paint = true;
    dc.window = window;
    dc.origin = windowOrigin();
    dc.clip = intersect(intersect(offset(*area, dc.origin), s.window.rect), screenRect());
    s.dcs.push_back(dc);
    win::HDC handle = dc.handle;
    *eraseLeft = erase && sendToMainWindow(win::WM_ERASEBKGND,
                                           reinterpret_cast<win::WPARAM>(handle), 0) == 0;
    return handle;
}

void endPaintOf(win::HDC handle) {
    State& s = state();
    for (auto it = s.dcs.begin(); it != s.dcs.end(); ++it)
        if (it->handle == handle && it->paint) {
            s.dcs.erase(it);
            return;
        }
}

// Zero-width line from (x0, y0) towards (x1, y1), the end point left out: Bresenham's
// algorithm, stepping one pixel along the major axis each time (x when |dx| > |dy|, else y)
// and along the minor axis when the error term says so. The error starts at
// 2*minor - major and the minor step is taken when error + bias > 0.
//
// Tie-breaking: where the true line passes exactly half-way between two pixels (error 0),
// the bias decides. It is 1 for x-major lines going up the screen (dy < 0) and for y-major
// lines going left (dx < 0), so that those take the minor step at the tie; in the other
// four octants the step waits for the next pixel. This is the rule of Windows GDI for
// cosmetic pens, and it makes a line cover the same pixels in both directions.
void drawLine(const DrawingContext& dc, long long x0, long long y0, long long x1, long long y1,
              win::COLORREF colour) {
    long long dx = x1 - x0, dy = y1 - y0;
    long long adx = std::llabs(dx), ady = std::llabs(dy);
    bool xMajor = adx > ady;
    long long major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    int bias = xMajor ? (dy < 0 ? 1 : 0) : (dx < 0 ? 1 : 0);
    long long xStep = dx < 0 ? -1 : 1, yStep = dy < 0 ? -1 : 1;
    if (major > 100000000) {
        noteError("LineTo: a line too long to draw");
        return;
    }
    long long err = 2 * minor - major;
    long long x = x0, y = y0;
    for (long long i = 0; i < major; ++i) {
        plot(dc, x, y, colour);
        if (err + bias > 0) {
            if (xMajor)
                y += yStep;
            else
                x += xStep;
            err += 2 * minor - 2 * major;
        } else {
            err += 2 * minor;
        }
        if (xMajor)
            x += xStep;
        else
            y += yStep;
    }
}

} // namespace

int stockIndexOf(const void* handle) {
    std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    if (value < kStockBase || value > kStockBase + 19)
        return -1;
    int index = static_cast<int>(value - kStockBase);
    return validStockIndex(index) ? index : -1;
}

std::uintptr_t systemCursorIdOf(const void* handle) {
    std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    if (value < kCursorBase || value > kCursorBase + 0xFFFF)
        return 0;
    return isSystemCursorId(value - kCursorBase) ? value - kCursorBase : 0;
}

void resetScreen() {
    State& s = state();
    s.pixels.assign(static_cast<size_t>(screenWidth()) * screenHeight(), kWhite);
}

void redrawScreenForNewMode() {
    State& s = state();
    s.pixels.assign(static_cast<size_t>(screenWidth()) * screenHeight(), sim::kDesktopColour);
    // A box or dialog that is up is drawn again over it.
    for (const win::RECT& r : s.covers)
        fill(r, screenRect(), sim::kFaceColour, true);
}

win::RECT clientRect() {
    const win::RECT& r = state().window.rect;
    return win::RECT{0, 0, r.right - r.left, r.bottom - r.top};
}

void invalidateClient(const win::RECT& rect, bool erase) {
    win::RECT area = intersect(rect, clientRect());
    if (isEmpty(area))
        return;
    MainWindow& w = state().window;
    if (w.invalid) {
        w.invalidRect.left = std::min(w.invalidRect.left, area.left);
        w.invalidRect.top = std::min(w.invalidRect.top, area.top);
        w.invalidRect.right = std::max(w.invalidRect.right, area.right);
        w.invalidRect.bottom = std::max(w.invalidRect.bottom, area.bottom);
    } else {
        w.invalid = true;
        w.invalidRect = area;
    }
    if (erase)
        w.eraseRequested = true;
}

void coverScreen(const win::RECT& rect) {
    state().covers.push_back(rect);
    fill(rect, screenRect(), sim::kFaceColour, true);
}

void uncoverScreen() {
    State& s = state();
    if (s.covers.empty())
        return;
    win::RECT gone = s.covers.back();
    s.covers.pop_back();
    // The screen keeps showing the box until the window below repaints the area.
    if (s.window.exists) {
        win::POINT origin = windowOrigin();
        invalidateClient(win::RECT{gone.left - origin.x, gone.top - origin.y, gone.right - origin.x,
                                   gone.bottom - origin.y},
                         true);
    }
}

void paintMainWindowInternally() {
    win::RECT area;
    bool eraseLeft = false;
    endPaintOf(beginPaintOf(state().window.handle, &area, &eraseLeft));
}

bool eraseWithClassBackground(win::HDC dc) {
    DrawingContext* context = usableDc(dc);
    win::COLORREF colour;
    if (!context || !brushColour(state().window.background, &colour))
        return false;
    fill(context->clip, context->clip, colour);
    return true;
}

} // namespace detail

using namespace detail;

win::HGDIOBJ stockObject(int index) {
    if (!validStockIndex(index))
        return nullptr;
    return reinterpret_cast<win::HGDIOBJ>(kStockBase + static_cast<std::uintptr_t>(index));
}

win::HCURSOR systemCursor(std::uintptr_t id) {
    if (!isSystemCursorId(id))
        return nullptr;
    return reinterpret_cast<win::HCURSOR>(kCursorBase + id);
}

win::COLORREF pixel(int x, int y) {
    if (x < 0 || y < 0 || x >= screenWidth() || y >= screenHeight())
        return kInvalidColour;
    return state().pixels[static_cast<size_t>(y) * screenWidth() + x];
}

long long pixelsDrawnOutsideWindow() {
    return state().drawnOutsideWindow;
}

void windowPassesOver(const win::RECT& screenArea) {
    coverScreen(screenArea);
    uncoverScreen();
}

int countPixels(int x0, int y0, int x1, int y1, win::COLORREF colour) {
    win::RECT r = intersect(win::RECT{x0, y0, x1, y1}, screenRect());
    const std::vector<win::COLORREF>& pixels = state().pixels;
    size_t width = static_cast<size_t>(screenWidth());
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += pixels[static_cast<size_t>(y) * width + x] == colour ? 1 : 0;
    return n;
}

} // namespace sim

namespace win {

using namespace sim::detail;

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
    std::uintptr_t id = reinterpret_cast<std::uintptr_t>(name);
    bool isId = id < 0x10000;
    record("LoadCursorA", isId ? std::to_string(id) : std::string(name),
           isId ? static_cast<std::int64_t>(id) : 0, 0, 0, 0, isId ? std::string() : name);
    // The program has no cursor resources of its own: only the system's cursors load.
    HCURSOR cursor = (!instance && isId) ? sim::systemCursor(id) : nullptr;
    if (!cursor)
        state().lastError = kErrorResourceNameNotFound;
    return cursor;
}

HGDIOBJ GetStockObject(int index) {
    record("GetStockObject", std::to_string(index), index);
    return sim::stockObject(index);
}

HDC GetDC(HWND window) {
    State& s = state();
    record("GetDC", "");
    DrawingContext dc = {};
    dc.paint = false;
    dc.window = window;
    if (!window) {
        dc.origin = POINT{0, 0};
        dc.clip = screenRect();
    } else if (isMainWindow(window)) {
        dc.origin = windowOrigin();
        dc.clip = intersect(s.window.rect, screenRect());
    } else {
        s.lastError = kErrorInvalidWindowHandle;
        return nullptr;
    }
    dc.handle = reinterpret_cast<HDC>(newHandle());
    s.dcs.push_back(dc);
    return dc.handle;
}

int ReleaseDC(HWND, HDC dc) {
    State& s = state();
    sim::Call& call = record("ReleaseDC", "");
    for (auto it = s.dcs.begin(); it != s.dcs.end(); ++it)
        if (it->handle == dc && !it->paint) {
            s.dcs.erase(it);
            call.a = 1;
            return 1;
        }
    noteError("ReleaseDC of a drawing context that GetDC did not give (or released twice)");
    return 0;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    State& s = state();
    size_t callIndex = s.calls.size();
    record("BeginPaint", "");
    if (!isMainWindow(window) || !paint) {
        s.lastError = kErrorInvalidWindowHandle;
        return nullptr;
    }
    RECT area;
    bool eraseLeft = false;
    HDC dc = beginPaintOf(window, &area, &eraseLeft);
    std::memset(paint, 0, sizeof *paint);
    paint->hdc = dc;
    paint->fErase = eraseLeft ? TRUE : FALSE;
    paint->rcPaint = area;
    sim::Call& call = s.calls[callIndex];
    call.a = area.left;
    call.b = area.top;
    call.c = area.right;
    call.d = area.bottom;
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    record("EndPaint", "");
    const DrawingContext* dc = paint ? findDc(paint->hdc) : nullptr;
    if (dc && dc->paint) {
        endPaintOf(paint->hdc);
        return TRUE;
    }
    noteError("EndPaint without a matching BeginPaint");
    return TRUE; // EndPaint always reports success
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    State& s = state();
    std::string where = rect ? std::to_string(rect->left) + " " + std::to_string(rect->top) + " " +
                                   std::to_string(rect->right) + " " + std::to_string(rect->bottom)
                             : "*";
    record("InvalidateRect", where + " " + (erase ? "1" : "0"), erase ? 1 : 0, rect ? 1 : 0);
    if (!window) {
        // No window: Windows repaints every window; here that is the one window, if any.
        if (!s.window.exists)
            return TRUE;
        window = s.window.handle;
    }
    if (!isMainWindow(window)) {
        s.lastError = kErrorInvalidWindowHandle;
        return FALSE;
    }
    invalidateClient(rect ? *rect : clientRect(), erase != FALSE);
    return TRUE;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
    record("GetTextMetricsA", "");
    const sim::Config& config = state().config;
    if (!usableDc(dc) || !metrics)
        return FALSE;
    metrics->tmHeight = config.textHeight;
    metrics->tmDescent = config.textHeight / 4;
    metrics->tmAscent = config.textHeight - metrics->tmDescent;
    metrics->tmInternalLeading = 0;
    metrics->tmExternalLeading = config.externalLeading;
    metrics->tmAveCharWidth = config.charWidth;
    metrics->tmMaxCharWidth = 2 * config.charWidth;
    return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size) {
    record("GetTextExtentPoint32A", std::to_string(count), count, 0, 0, 0,
           text && count > 0 ? std::string(text, static_cast<size_t>(count)) : std::string());
    const sim::Config& config = state().config;
    if (!usableDc(dc) || !size || count < 0 || (!text && count > 0))
        return FALSE;
    // The ANSI call measures bytes: a double-byte character counts as two.
    size->cx = count * config.charWidth;
    size->cy = config.textHeight;
    return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int count) {
    std::string bytes = text && count > 0 ? std::string(text, static_cast<size_t>(count)) : "";
    record("TextOutA", std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(count), x,
           y, count, 0, bytes);
    DrawingContext* context = usableDc(dc);
    if (!context || count < 0 || (!text && count > 0))
        return FALSE;
    State& s = state();
    s.texts.push_back(sim::TextRecord{x, y, bytes});
    // Each byte gets a cell of the character width and the line height, its background
    // painted white (the default opaque background); a byte that is not a space leaves a
    // dark box inset one pixel inside its cell, standing for its glyph.
    int w = s.config.charWidth, h = s.config.textHeight;
    POINT o = context->origin;
    fill(RECT{o.x + x, o.y + y, o.x + x + count * w, o.y + y + h}, context->clip, kWhite);
    for (int i = 0; i < count; ++i) {
        if (bytes[static_cast<size_t>(i)] == ' ')
            continue;
        int left = o.x + x + i * w;
        fill(RECT{left + 1, o.y + y + 1, left + w - 1, o.y + y + h - 1}, context->clip, kBlack);
    }
    return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
    record("MoveToEx", std::to_string(x) + " " + std::to_string(y), x, y);
    DrawingContext* context = findDc(dc);
    if (!context)
        return FALSE;
    if (previous)
        *previous = context->position;
    context->position = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    record("LineTo", std::to_string(x) + " " + std::to_string(y), x, y);
    DrawingContext* context = findDc(dc);
    if (!context)
        return FALSE;
    if (usableDc(dc))
        drawLine(*context, context->position.x, context->position.y, x, y,
                 kBlack); // the default black pen
    context->position = POINT{x, y};
    return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
    // The most frequent call: its text only when wanted.
    char text[48] = "";
    int length = 0;
    if (state().config.callText)
        length =
            std::snprintf(text, sizeof text, "%d %d %06X", x, y, static_cast<unsigned>(colour));
    sim::Call& call = record("SetPixel", std::string_view(text, static_cast<size_t>(length)), x, y,
                             colour, kInvalidColour);
    DrawingContext* context = usableDc(dc);
    if (!context)
        return kInvalidColour;
    long long sx = static_cast<long long>(x) + context->origin.x;
    long long sy = static_cast<long long>(y) + context->origin.y;
    if (!inside(context->clip, sx, sy))
        return kInvalidColour;
    COLORREF set = colour & 0x00FFFFFF;
    plot(*context, x, y, set);
    call.d = set;
    return set;
}

} // namespace win
