// Showing and hiding the mouse cursor over the platform's display counter.
#include "screen/cursor.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// ShowCursor calls since the last count: raises and lowerings.
struct Calls {
    int raises;
    int lowerings;
};
size_t counted = 0;
Calls newShowCursorCalls() {
    Calls result = {0, 0};
    const std::vector<sim::Call>& calls = sim::calls();
    for (; counted < calls.size(); ++counted) {
        if (calls[counted].name == "ShowCursor") {
            (calls[counted].a != 0 ? result.raises : result.lowerings) += 1;
        }
    }
    return result;
}

void start(int counter, int cursorShown, int hideDepth) {
    sim::Config config;
    config.cursorCounter = counter;
    startFreshProcess(config);
    cursorVisibility = {cursorShown, hideDepth};
    counted = 0;
}

TEST(CursorVisibility, RequestTable) {
    struct Row {
        int request, shownBefore, shownAfter, calls;
    };
    const Row rows[] = {
        {CursorHide, 1, 0, 3}, {CursorHide, 0, 0, 0},   {CursorShow, 0, 1, 1},
        {CursorShow, 1, 1, 0}, {CursorToggle, 0, 1, 1}, {CursorToggle, 1, 0, 3},
        {7, 1, 0, 3},          {-1, 0, 1, 1}, // any other request toggles
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "request " << row.request << " shown " << row.shownBefore);
        // A hidden cursor is one that a hide took from 0 to -1.
        start(row.shownBefore ? 0 : -1, row.shownBefore, row.shownBefore ? 0 : 1);
        EXPECT_EQ(setCursorVisibility(row.request), row.shownBefore);
        EXPECT_EQ(cursorVisibility.cursorShown, row.shownAfter);
        EXPECT_EQ(sim::cursorCounter(), row.shownAfter ? 0 : -1);
        Calls calls = newShowCursorCalls();
        EXPECT_EQ(calls.raises + calls.lowerings, row.calls);
    }
}

TEST(CursorVisibility, HideThenShowFromEachCounter) {
    struct Row {
        int counter, counterHidden, hideDepth, hideLowerings, counterShown, showRaises;
    };
    const Row rows[] = {
        {0, -1, 1, 2, 0, 1}, // Tab twice from the start
        {2, -1, 3, 4, 2, 3},
        {-1, -1, 0, 1, -1, 0}, // lowered by another party: the show leaves it hidden
        {-3, -3, 0, 1, -3, 0}, // the raise does not reach 0 and is undone once
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "counter " << row.counter);
        start(row.counter, 1, 0);
        EXPECT_EQ(setCursorVisibility(CursorHide), 1);
        EXPECT_EQ(sim::cursorCounter(), row.counterHidden);
        EXPECT_EQ(cursorVisibility.hideDepth, row.hideDepth);
        EXPECT_EQ(cursorVisibility.cursorShown, 0);
        Calls hide = newShowCursorCalls();
        EXPECT_EQ(hide.raises, 1);
        EXPECT_EQ(hide.lowerings, row.hideLowerings);

        EXPECT_EQ(setCursorVisibility(CursorShow), 0);
        EXPECT_EQ(sim::cursorCounter(), row.counterShown);
        EXPECT_EQ(cursorVisibility.hideDepth, 0);
        Calls show = newShowCursorCalls();
        EXPECT_EQ(show.raises, row.showRaises);
        EXPECT_EQ(show.lowerings, 0);
    }
}

TEST(CursorVisibility, PassingTheResultBackHidesAgainMeasuringAnew) {
    start(0, 1, 0);
    setCursorVisibility(CursorToggle);
    int previous = setCursorVisibility(CursorShow);
    EXPECT_EQ(previous, 0);
    sim::setCursorCounter(1); // raised by someone else while the cursor was shown
    setCursorVisibility(previous);
    EXPECT_EQ(sim::cursorCounter(), -1);
    EXPECT_EQ(cursorVisibility.hideDepth, 2);
    EXPECT_EQ(cursorVisibility.cursorShown, 0);
}

} // namespace
