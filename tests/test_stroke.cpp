// Free-hand drawing on the test screen, kept out of the help band.
#include "screen/screen_metrics.h"
#include "test_support.h"
#include "screen/stroke.h"
#include "screen/target_grid.h"

#include <gtest/gtest.h>

namespace {

// An 800 x 600 screen with a 16-pixel line height, one window over it, and no stroke open.
struct Canvas {
    win::HWND window;
    win::HDC dc;

    Canvas() {
        sim::Config config;
        config.screenWidth = 800;
        config.screenHeight = 600;
        startFreshProcess(config);
        screenMetrics = {800, 600, 16};
        strokeState = {0, 0, 0};

        window = openPlainWindow(800, 600);
        dc = win::GetDC(window);
    }
    ~Canvas() { win::ReleaseDC(window, dc); }

    void step(int x, int y, int phase, int barAtTop = 0) {
        win::LPARAM point = static_cast<win::LPARAM>((static_cast<win::DWORD>(y) << 16) |
                                                     (static_cast<win::DWORD>(x) & 0xFFFF));
        plotStroke(dc, point, phase, barAtTop);
    }
};

int blackPixels() {
    return sim::countPixels(0, 0, 800, 600, kBlack);
}

TEST(Stroke, PressAndReleaseAtOneSpotLeaveOnePixel) {
    Canvas canvas;
    canvas.step(100, 200, StrokePress);
    EXPECT_EQ(strokeState.strokeOpen, 1);
    canvas.step(100, 200, StrokeRelease);
    EXPECT_EQ(strokeState.strokeOpen, 0);
    EXPECT_EQ(sim::pixel(100, 200), kBlack);
    EXPECT_EQ(blackPixels(), 1);
}

TEST(Stroke, LinesJoinThePointsOfAStroke) {
    Canvas canvas;
    canvas.step(100, 100, StrokePress);
    canvas.step(110, 100, StrokeMove);
    canvas.step(110, 105, StrokeRelease);
    // 100..109 on row 100, then 110 on rows 100..104; the release's end point is not drawn.
    EXPECT_EQ(sim::countPixels(100, 100, 111, 101, kBlack), 11);
    EXPECT_EQ(sim::countPixels(110, 100, 111, 105, kBlack), 5);
    EXPECT_EQ(sim::pixel(110, 105), win::COLORREF(kWhite));
    EXPECT_EQ(blackPixels(), 15);

    // A new press never joins the previous stroke, even if the state says one is open.
    strokeState.strokeOpen = 1;
    canvas.step(300, 300, StrokePress);
    EXPECT_EQ(blackPixels(), 16);
}

TEST(Stroke, BandAtTheBottomRefusesTheSeparatorRowAndBelow) {
    Canvas canvas;
    canvas.step(50, 582, StrokePress);
    EXPECT_EQ(sim::pixel(50, 582), kBlack);

    canvas.step(60, 583, StrokeMove);
    EXPECT_EQ(strokeState.strokeOpen, 0);
    EXPECT_EQ(strokeState.lastX, 50);
    EXPECT_EQ(strokeState.lastY, 582);
    canvas.step(70, 599, StrokeRelease);
    EXPECT_EQ(blackPixels(), 1);
}

TEST(Stroke, BandAtTheTopRefusesRowsUpToTheSeparator) {
    Canvas canvas;
    canvas.step(50, 17, StrokePress, 1);
    canvas.step(50, 0, StrokePress, 1);
    EXPECT_EQ(blackPixels(), 0);
    EXPECT_EQ(strokeState.strokeOpen, 0);

    canvas.step(50, 18, StrokePress, 1);
    EXPECT_EQ(sim::pixel(50, 18), kBlack);
    EXPECT_EQ(strokeState.strokeOpen, 1);
}

TEST(Stroke, NoLineIsDrawnAcrossTheBand) {
    Canvas canvas;
    // Press inside the band, move out: the first move outside sets a single pixel.
    canvas.step(100, 590, StrokePress);
    canvas.step(100, 500, StrokeMove);
    EXPECT_EQ(blackPixels(), 1);
    canvas.step(100, 490, StrokeMove);
    canvas.step(100, 480, StrokeRelease);
    EXPECT_EQ(sim::countPixels(100, 481, 101, 501, kBlack), 20);
    EXPECT_EQ(blackPixels(), 20);

    // Out into the band and back: a new stroke starts with one pixel, nothing joins the two.
    canvas.step(200, 500, StrokePress);
    canvas.step(200, 595, StrokeMove);
    canvas.step(210, 400, StrokeMove);
    EXPECT_EQ(blackPixels(), 22);
    EXPECT_EQ(sim::pixel(210, 400), kBlack);
    // An accepted release after a refused point also sets a single pixel and closes.
    canvas.step(220, 590, StrokeMove);
    canvas.step(230, 300, StrokeRelease);
    EXPECT_EQ(blackPixels(), 23);
    EXPECT_EQ(strokeState.strokeOpen, 0);
}

TEST(Stroke, PointsAreTestedAgainstTheBandsCurrentEdge) {
    Canvas canvas;
    canvas.step(40, 10, StrokePress, 0);
    EXPECT_EQ(sim::pixel(40, 10), kBlack);
    // The band moves to the top: the next point at row 10 is now inside it.
    canvas.step(50, 10, StrokeMove, 1);
    EXPECT_EQ(strokeState.strokeOpen, 0);
    EXPECT_EQ(blackPixels(), 1);
    // ... and a point at the bottom is accepted, starting afresh.
    canvas.step(60, 590, StrokePress, 1);
    EXPECT_EQ(sim::pixel(60, 590), kBlack);
    EXPECT_EQ(blackPixels(), 2);
}

TEST(Stroke, CoordinatesAreReadUnsigned) {
    Canvas canvas;
    // y 0xFFFF would be -1 if sign-extended and pass the top band's test; read as 65535 it
    // lies past the bottom band and is refused.
    canvas.step(10, 0xFFFF, StrokePress, 0);
    EXPECT_EQ(strokeState.strokeOpen, 0);
    canvas.step(10, 0xFFFF, StrokePress, 1);
    EXPECT_EQ(strokeState.strokeOpen, 1);
    EXPECT_EQ(strokeState.lastY, 65535);

    // x 32768 and above stays positive.
    canvas.step(0x8000, 300, StrokePress);
    EXPECT_EQ(strokeState.lastX, 32768);
    EXPECT_EQ(strokeState.lastY, 300);

    // A negative lParam (y's top bit set) is not sign-extended either.
    plotStroke(canvas.dc, static_cast<win::LPARAM>(static_cast<std::int32_t>(0x80000005)),
               StrokePress, 1);
    EXPECT_EQ(strokeState.lastX, 5);
    EXPECT_EQ(strokeState.lastY, 32768);
}

} // namespace
