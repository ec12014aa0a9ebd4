// The target grid: order, pixel positions and the exact pixels of a mark.
#include "test_support.h"

#include "screen/screen_metrics.h"
#include "screen/target_grid.h"

#include <gtest/gtest.h>

namespace {

class TargetGridTest : public ::testing::Test {
  protected:
    void SetUp() override {
        startFreshProcess();
        screenMetrics.screenWidth = 1024;
        screenMetrics.screenHeight = 768;
    }
};

TEST_F(TargetGridTest, NineTargetsDownEachColumn) {
    EXPECT_EQ(targetGrid.total, 9);
    for (int i = 0; i < 9; ++i) {
        win::POINT p = targetPosition(i);
        EXPECT_EQ(p.x, nineGridTarget(i).x) << i;
        EXPECT_EQ(p.y, nineGridTarget(i).y) << i;
    }
}

TEST_F(TargetGridTest, TwentyTargetsDownEachColumn) {
    configureGrid(21);
    EXPECT_EQ(targetGrid.columns, 5);
    EXPECT_EQ(targetGrid.rows, 4);
    EXPECT_EQ(targetGrid.total, 20);
    EXPECT_EQ(targetGrid.xPositions[1], 1074);
    EXPECT_EQ(targetGrid.yPositions[0], 100);
    for (int i = 0; i < 20; ++i) {
        win::POINT p = targetPosition(i);
        EXPECT_EQ(p.x, twentyGridTarget(i).x) << i;
        EXPECT_EQ(p.y, twentyGridTarget(i).y) << i;
    }
}

TEST_F(TargetGridTest, ReLayingAndUnknownIds) {
    configureGrid(21);
    configureGrid(20);
    EXPECT_EQ(targetGrid.columns, 3);
    EXPECT_EQ(targetGrid.rows, 3);
    EXPECT_EQ(targetGrid.total, 9);
    EXPECT_EQ(targetPosition(3).x, 512); // (2048, 100)
    EXPECT_EQ(targetPosition(3).y, 18);

    configureGrid(21);
    configureGrid(22); // not a point-count id: the layout stays
    EXPECT_EQ(targetGrid.total, 20);

    // No mark for a number outside the layout, the one just past the last included.
    win::HWND window = openPlainWindow(1024, 768);
    win::HDC dc = win::GetDC(window);
    for (int index : {-1, 20}) {
        drawTargetMark(dc, index, 1, 0);
        EXPECT_EQ(sim::callsNamed({"SetPixel"}).size(), 0u) << index;
    }
    win::ReleaseDC(window, dc);
}

TEST_F(TargetGridTest, PositionsFollowTheScreenSize) {
    screenMetrics.screenWidth = 800;
    screenMetrics.screenHeight = 600;
    EXPECT_EQ(targetPosition(8).x, 800 * 3996 / 4096);
    EXPECT_EQ(targetPosition(8).y, 600 * 3996 / 4096);
    EXPECT_EQ(targetPosition(0).x, 19);
    EXPECT_EQ(targetPosition(0).y, 14);
}

struct Cross {
    int cx, cy;
    // Pixels of the mark: both bars, 3 pixels thick, 12 pixels to each side of the centre.
    bool covers(int x, int y) const {
        int dx = x - cx, dy = y - cy;
        bool horizontal = dx >= -12 && dx <= 12 && dy >= -1 && dy <= 1;
        bool vertical = dy >= -12 && dy <= 12 && dx >= -1 && dx <= 1;
        return horizontal || vertical;
    }
};

// Compares a 31 x 31 square around the centre with the expected cross in one colour.
void expectCross(int cx, int cy, win::COLORREF colour) {
    Cross cross{cx, cy};
    int wrong = 0;
    for (int y = cy - 15; y <= cy + 15; ++y)
        for (int x = cx - 15; x <= cx + 15; ++x) {
            if (x < 0 || y < 0 || x >= 1024 || y >= 768)
                continue;
            win::COLORREF want = cross.covers(x, y) ? colour : kWhite;
            if (sim::pixel(x, y) != want)
                ++wrong;
        }
    EXPECT_EQ(wrong, 0) << "around (" << cx << ", " << cy << ")";
}

TEST(TargetMark, RedBlueAndErasedPixelsWithClippingAtTheEdge) {
    startFreshProcess();
    // Draw straight onto the program's window: the first paint draws target 0 in red.
    sim::then([] { expectCross(25, 18, kRed); });
    sim::pressAt(25, 18);
    sim::then([] { expectCross(25, 18, kBlue); });
    sim::releaseAt(25, 18);
    sim::then([] {
        expectCross(25, 18, kWhite);
        expectCross(25, 384, kRed);
        EXPECT_EQ(sim::countPixels(0, 0, 1024, 768, kRed), 25 * 3 * 2 - 9);
    });
    sim::closeWindow();
    expectCleanEnd(sim::runToExit());
}

TEST(TargetMark, ClippedAtTheScreenEdge) {
    sim::Config config;
    config.screenWidth = 20; // the first target at x 0 leaves most of its left arm off screen
    config.screenHeight = 20;
    startFreshProcess(config);
    sim::then([] {
        // Target 0 lies at (0, 0): only the quadrant on the screen is drawn, nothing wraps.
        EXPECT_EQ(sim::pixel(0, 0), kRed);
        EXPECT_EQ(sim::pixel(12, 0), kRed);
        EXPECT_EQ(sim::pixel(13, 0), kWhite);
        EXPECT_EQ(sim::pixel(0, 12), kRed);
        EXPECT_EQ(sim::pixel(1, 1), kRed);
        EXPECT_EQ(sim::pixel(2, 2), kWhite);
        EXPECT_EQ(sim::countPixels(0, 0, 20, 20, kRed), 26 + 26 - 4);
    });
    sim::closeWindow();
    expectCleanEnd(sim::runToExit());
}

} // namespace
