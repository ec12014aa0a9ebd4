// The simulated screen: lines as GDI draws them, pixels, text cells and drawing contexts.
#include "test_window.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

using Points = std::vector<std::pair<int, int>>;
constexpr win::COLORREF kBlack = 0x000000;
constexpr win::COLORREF kWhite = 0xFFFFFF;
constexpr win::COLORREF kInvalid = 0xFFFFFFFF;

struct Screen {
    win::HWND window;
    win::HDC dc;
    explicit Screen(int x = 0, int y = 0, int width = 64, int height = 48) {
        sim::Config config;
        config.screenWidth = 64;
        config.screenHeight = 48;
        window = freshWindow(x, y, width, height, config);
        dc = win::GetDC(window);
    }
    ~Screen() { win::ReleaseDC(window, dc); }
    void line(int x0, int y0, int x1, int y1) {
        win::MoveToEx(dc, x0, y0, nullptr);
        win::LineTo(dc, x1, y1);
    }
};

std::set<std::pair<int, int>> blackPixels(int width = 64, int height = 48) {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (sim::pixel(x, y) == kBlack)
                out.insert({x, y});
    return out;
}

std::set<std::pair<int, int>> asSet(const Points& points) {
    return std::set<std::pair<int, int>>(points.begin(), points.end());
}

TEST(SimLine, EndPointIsLeftOutAndAPointLineDrawsNothing) {
    Screen screen;
    screen.line(10, 10, 15, 10);
    EXPECT_EQ(blackPixels(), asSet({{10, 10}, {11, 10}, {12, 10}, {13, 10}, {14, 10}}));
    Screen again;
    again.line(10, 10, 10, 7); // upwards
    EXPECT_EQ(blackPixels(), asSet({{10, 10}, {10, 9}, {10, 8}}));
    Screen point;
    point.line(5, 5, 5, 5);
    EXPECT_TRUE(blackPixels().empty());
}

// Lines with a tie at their middle pixel in each of the eight octants: x-major lines going
// up and y-major lines going left take the minor step at the tie, the others later.
TEST(SimLine, TiesAreBrokenPerOctantAsGdiDoes) {
    struct Case {
        int dx, dy;
        Points expected;
    };
    const Case cases[] = {
        {4, 2, {{10, 10}, {11, 10}, {12, 11}, {13, 11}}},
        {2, 4, {{10, 10}, {10, 11}, {11, 12}, {11, 13}}},
        {-2, 4, {{10, 10}, {9, 11}, {9, 12}, {8, 13}}},
        {-4, 2, {{10, 10}, {9, 10}, {8, 11}, {7, 11}}},
        {-4, -2, {{10, 10}, {9, 9}, {8, 9}, {7, 8}}},
        {-2, -4, {{10, 10}, {9, 9}, {9, 8}, {8, 7}}},
        {2, -4, {{10, 10}, {10, 9}, {11, 8}, {11, 7}}},
        {4, -2, {{10, 10}, {11, 9}, {12, 9}, {13, 8}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "towards " << c.dx << ", " << c.dy);
        Screen screen;
        screen.line(10, 10, 10 + c.dx, 10 + c.dy);
        EXPECT_EQ(blackPixels(), asSet(c.expected));
    }
}

TEST(SimLine, BothDirectionsCoverTheSamePixels) {
    for (int dx = -7; dx <= 7; ++dx)
        for (int dy = -7; dy <= 7; ++dy) {
            SCOPED_TRACE(testing::Message() << dx << ", " << dy);
            Screen forward;
            forward.line(20, 20, 20 + dx, 20 + dy);
            win::SetPixel(forward.dc, 20 + dx, 20 + dy, kBlack);
            std::set<std::pair<int, int>> there = blackPixels();
            Screen backward;
            backward.line(20 + dx, 20 + dy, 20, 20);
            win::SetPixel(backward.dc, 20, 20, kBlack);
            EXPECT_EQ(blackPixels(), there);
        }
}

TEST(SimLine, CurrentPositionIsKeptPerContextAndClippedToTheWindow) {
    Screen screen(10, 10, 20, 20);
    win::HDC other = win::GetDC(screen.window);
    win::MoveToEx(screen.dc, 0, 5, nullptr);
    win::MoveToEx(other, 3, 3, nullptr);
    win::LineTo(screen.dc, 40, 5); // runs out of the window on the right
    win::POINT previous = {0, 0};
    win::MoveToEx(screen.dc, 0, 0, &previous);
    EXPECT_EQ(previous.x, 40);
    win::MoveToEx(other, 0, 0, &previous);
    EXPECT_EQ(previous.x, 3);
    win::ReleaseDC(screen.window, other);
    EXPECT_EQ(sim::countPixels(0, 0, 64, 48, kBlack), 20);
    EXPECT_EQ(sim::pixel(10, 15), kBlack);
    EXPECT_EQ(sim::pixel(29, 15), kBlack);
    EXPECT_EQ(sim::pixel(30, 15), kWhite);
}

TEST(SimPixel, SetInsideTheClipOnlyAndReturnsTheColour) {
    Screen screen(10, 10, 20, 20);
    EXPECT_EQ(win::SetPixel(screen.dc, 0, 0, 0x0000FF), 0x0000FFu);
    EXPECT_EQ(sim::pixel(10, 10), 0x0000FFu);
    EXPECT_EQ(win::SetPixel(screen.dc, 19, 19, 0x00FF00), 0x00FF00u);
    EXPECT_EQ(win::SetPixel(screen.dc, 20, 0, kBlack), kInvalid);
    EXPECT_EQ(win::SetPixel(screen.dc, 0, -1, kBlack), kInvalid);
    EXPECT_EQ(win::SetPixel(screen.dc, 20, 20, kBlack), kInvalid);
    EXPECT_EQ(sim::countPixels(0, 0, 64, 48, kBlack), 0);
    EXPECT_EQ(sim::calls().back().d, static_cast<std::int64_t>(kInvalid));

    Screen edge(50, 40, 20, 20); // hangs over the screen's right and bottom edges
    EXPECT_EQ(win::SetPixel(edge.dc, 13, 7, kBlack), kBlack);
    EXPECT_EQ(win::SetPixel(edge.dc, 14, 7, kBlack), kInvalid);
    EXPECT_EQ(win::SetPixel(edge.dc, 0, 8, kBlack), kInvalid);
    EXPECT_EQ(sim::pixel(63, 47), kBlack);
}

TEST(SimDesktop, TheScreenIsItsTopLeftPartAndDrawingOutsideTheWindowIsCounted) {
    sim::Config config;
    config.screenWidth = 64;
    config.screenHeight = 48;
    config.desktopWidth = 96;
    config.desktopHeight = 60;
    win::HWND window = freshWindow(0, 0, 64, 48, config);
    EXPECT_EQ(win::GetSystemMetrics(win::SM_CXSCREEN), 64);
    EXPECT_EQ(sim::pixel(95, 59), kWhite);
    EXPECT_EQ(sim::pixel(96, 59), kInvalid);

    win::HDC dc = win::GetDC(window);
    win::SetPixel(dc, 70, 10, kBlack); // clipped to the window
    win::ReleaseDC(window, dc);
    win::HDC desktop = win::GetDC(nullptr);
    win::SetPixel(desktop, 10, 10, kBlack);
    win::SetPixel(desktop, 70, 10, kBlack);
    win::MoveToEx(desktop, 60, 50, nullptr);
    win::LineTo(desktop, 60, 55);
    win::ReleaseDC(nullptr, desktop);
    EXPECT_EQ(sim::pixel(70, 10), kBlack);
    EXPECT_EQ(sim::pixelsDrawnOutsideWindow(), 1 + 5);

    sim::windowPassesOver(win::RECT{40, 40, 80, 58});
    EXPECT_EQ(sim::pixel(70, 50), sim::kFaceColour) << "the system's drawing is not counted";
    EXPECT_EQ(sim::pixelsDrawnOutsideWindow(), 6);
    EXPECT_TRUE(sim::windowNeedsPaint());
}

TEST(SimContext, ReleasesAreCountedAndAnUnknownReleaseFails) {
    Screen screen;
    win::HDC second = win::GetDC(screen.window);
    EXPECT_EQ(sim::openDrawingContexts(), 2);
    EXPECT_EQ(win::ReleaseDC(screen.window, second), 1);
    EXPECT_EQ(win::ReleaseDC(screen.window, second), 0);
    EXPECT_EQ(sim::errors().size(), 1u);
    EXPECT_EQ(sim::openDrawingContexts(), 1);
    EXPECT_EQ(win::SetPixel(second, 1, 1, kBlack), kInvalid) << "a released context draws nothing";
    EXPECT_EQ(win::TextOutA(second, 0, 0, "x", 1), win::FALSE);

    win::PAINTSTRUCT paint;
    win::InvalidateRect(screen.window, nullptr, win::TRUE);
    win::BeginPaint(screen.window, &paint);
    EXPECT_EQ(win::ReleaseDC(screen.window, paint.hdc), 0) << "a paint ends with EndPaint";
    EXPECT_EQ(sim::openPaints(), 1);
    win::EndPaint(screen.window, &paint);
    EXPECT_EQ(sim::openPaints(), 0);
}

TEST(SimText, CellsArePaintedWhiteWithAMarkPerVisibleByte) {
    sim::Config config; // 8 x 16 cells
    Screen screen(0, 0, 64, 48);
    screen.line(0, 25, 64, 25);
    ASSERT_EQ(win::TextOutA(screen.dc, 10, 20, "A B", 3), win::TRUE);
    EXPECT_EQ(sim::pixel(9, 25), kBlack) << "left of the text";
    EXPECT_EQ(sim::pixel(34, 25), kBlack) << "right of the text";
    EXPECT_EQ(sim::pixel(10, 25), kWhite) << "inset edge of the first cell";
    EXPECT_EQ(sim::pixel(11, 21), kBlack);
    EXPECT_EQ(sim::pixel(16, 34), kBlack);
    EXPECT_EQ(sim::pixel(17, 30), kWhite);
    EXPECT_EQ(sim::pixel(11, 35), kWhite);
    EXPECT_EQ(sim::countPixels(18, 20, 26, 36, kBlack), 0) << "the space";
    EXPECT_EQ(sim::countPixels(10, 20, 34, 36, kBlack), 2 * 6 * 14);
    ASSERT_EQ(sim::texts().size(), 1u);
    EXPECT_EQ(sim::texts()[0].bytes, "A B");
    EXPECT_EQ(sim::texts()[0].x, 10);

    win::SIZE size = {0, 0};
    win::GetTextExtentPoint32A(screen.dc, "\x83\x41", 2, &size); // one double-byte character
    EXPECT_EQ(size.cx, 16);
    EXPECT_EQ(size.cy, config.textHeight);
    win::TEXTMETRICA metrics = {};
    win::GetTextMetricsA(screen.dc, &metrics);
    EXPECT_EQ(metrics.tmHeight + metrics.tmExternalLeading, 16);
}

} // namespace
