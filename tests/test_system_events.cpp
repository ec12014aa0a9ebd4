// What Windows itself does around a run: one row per event, with what the user does around
// it, the requests the controller gets over the whole run and the target shown after it.
#include "test_support.h"

#include "calib/controller.h"
#include "screen/target_grid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// The user's doings and Windows' events that the rows are made of. Windows' events come while
// the program waits (sim::then), as Windows sends them.
using Step = void (*)();
const Step Touch0 = [] { sim::touch(25, 18); };  // target 1
const Step Touch1 = [] { sim::touch(25, 384); }; // target 2
const Step Key0 = [] { sim::key('0'); };
const Step Key1Ok = [] { sim::scriptDialog({sim::click(win::IDOK)}), sim::key('1'); };
const Step RefuseCalIn = [] { // the second CAL-IN
    sim::controller().script.refuseCommand = PM_CMD_CAL_IN;
    sim::controller().script.refuseOccurrence = 2;
};
const Step ScreenSaver = [] { sim::then([] { sim::systemCommand(win::SC_SCREENSAVE, 0); }); };
const Step DisplayOff = [] { sim::then([] { sim::systemCommand(win::SC_MONITORPOWER, 2); }); };
const Step SystemClose = [] { sim::then([] { sim::systemCommand(win::SC_CLOSE, 0); }); };
const Step LogOff = [] { sim::then([] { sim::endSession(); }); };
const Step LogOffNot = [] { sim::then([] { sim::endSession(true); }); }; // cancelled elsewhere
const Step QuitPosted = [] { sim::then([] { sim::postFromAnotherProgram(win::WM_QUIT, 7, 0); }); };
const Step Wake = [] { sim::then([] { sim::sleepAndWake(true); }); };       // a user there
const Step WakeAlone = [] { sim::then([] { sim::sleepAndWake(false); }); }; // none there
const Step Screen800 = [] { sim::then([] { sim::changeDisplay(800, 600); }); };
const Step Screen1024 = [] { sim::then([] { sim::changeDisplay(1024, 768); }); }; // as it is
const Step Screen1280 = [] {
    sim::then([] { sim::changeDisplay(1280, 1024); });
    sim::then(
        [] { EXPECT_EQ(sim::pixel(1279, 1007), kBlack) << "the test screen's new separator"; });
};
size_t requestsBeforeWake = 0;
// While the next box is up: sleep and wake, and no request until the box has closed.
const Step WakeInBox = [] {
    sim::whileNextBoxIsUp([] {
        requestsBeforeWake = sim::requests().size();
        sim::sleepAndWake(true);
        sim::then([] { EXPECT_EQ(sim::requests().size(), requestsBeforeWake) << "in the box"; });
    });
};
// The next two steps come at once, the second ahead of a pending paint.
const Step Rushed = nullptr;

constexpr int kRunEnded = -2; // the event ends the run, or no window ever came

struct Row {
    const char* event;
    std::vector<Step> steps; // the harness then ends a run still going
    Strings requests;        // D (DIAG), I (CAL-IN, default settings), P (CAL-POINT), A (CAL-ABORT)
    int target;              // red afterwards: -1 none (the test screen), or kRunEnded
    int show = 10;           // SW_SHOWDEFAULT
    int copy = 0;            // a copy already runs: 1 in this session, 2 in another
};

const char* const D = kDiag;
const char* const I = kCalInDefault;
const char* const P = kCalPoint;
const char* const A = kCalAbort;

int shownTarget = kRunEnded;

// The red one of the nine targets, placed on the screen as it is now, or -1.
int redTarget() {
    static const int units[] = {100, 2048, 3996};
    const sim::Config& c = sim::config();
    for (int i = 0; i < 9; ++i)
        if (sim::pixel(c.screenWidth * units[i / 3] / 4096, c.screenHeight * units[i % 3] / 4096) ==
            kRed)
            return i;
    return -1;
}

TEST(SystemEvents, EachLeavesTheControllerAndTheScreenAsTheyShouldBe) {
    const Row rows[] = {
        {"the screen saver's time", {ScreenSaver, Touch0}, {D, I, P, A, A}, 1},
        {"the display's idle time", {DisplayOff}, {D, I, A, A}, 0},
        {"Alt+F4's system command", {SystemClose}, {D, I, A}, kRunEnded},
        {"a log-off", {Touch0, LogOff}, {D, I, P, A, A}, kRunEnded},
        {"a log-off cancelled elsewhere", {Touch0, LogOffNot}, {D, I, P, A, A}, 1},
        {"another program's WM_QUIT", {Touch0, QuitPosted}, {D, I, P, A, A}, kRunEnded},
        // The touch is already waiting when the wake comes: the restart goes first.
        {"sleep, a wake with a user there",
         {Touch0, Touch1, Rushed, Wake, Touch0},
         {D, I, P, P, A, I, P, A, A},
         1},
        {"sleep, a wake with no user there", {Touch0, WakeAlone}, {D, I, P, A, I, A, A}, 0},
        {"a wake on the test screen, then back", {Key0, WakeAlone, Key0}, {D, I, A, I, A, A}, 0},
        {"a wake under CAL-IN's box",
         {RefuseCalIn, WakeInBox, Key1Ok},
         {D, I, A, I, A, I, A, A},
         0},
        {"a smaller screen", {Touch0, Screen800}, {D, I, P, A, I, A, A}, 0},
        {"a new mode of the same size", {Touch0, Screen1024}, {D, I, P, A, A}, 1},
        {"a larger screen on the test screen", {Key0, Screen1280}, {D, I, A, A}, -1},
        {"a copy running in this session", {}, {}, kRunEnded, 10, 1},
        {"a copy running in another session", {}, {}, kRunEnded, 10, 2},
        {"a minimized start", {}, {D, I, A, A}, 0, 7},
        {"a hidden start", {}, {D, I, A, A}, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.event);
        sim::Config config;
        if (row.copy) {
            config.otherProcessMutex = "Global\\panelcal-calibration";
            config.otherProcessWindowClass = "CALIB:MAIN";
            config.otherProcessInAnotherSession = row.copy == 2;
        }
        startFreshProcess(config);
        shownTarget = kRunEnded;
        for (size_t i = 0; i < row.steps.size(); ++i) {
            if (row.steps[i] == Rushed) {
                sim::rushed([&] { row.steps[i + 1](), row.steps[i + 2](); });
                i += 2;
            } else {
                row.steps[i]();
            }
        }
        sim::then([] {
            shownTarget = redTarget();
            EXPECT_EQ(sim::windowRect().right, sim::config().screenWidth);
            EXPECT_EQ(sim::windowRect().bottom, sim::config().screenHeight);
            EXPECT_FALSE(sim::screenSaverRunning());
            EXPECT_TRUE(sim::displayOn());
            sim::key(calibState.testScreen ? win::VK_RETURN : win::VK_ESCAPE);
        });
        EXPECT_EQ(sim::runToExit(row.show), 0);
        EXPECT_EQ(sentRequests(), row.requests);
        EXPECT_EQ(shownTarget, row.target);
        EXPECT_FALSE(sim::windowExists());
        EXPECT_TRUE(sim::errors().empty());
        if (row.copy) { // the running copy comes to the front where it can be found
            EXPECT_EQ(sim::callsNamed({"SetForegroundWindow"}).size(), row.copy == 1 ? 1u : 0u);
        } else {
            EXPECT_EQ(sim::executionState(), 0x80000003u) << "display and system required";
            EXPECT_EQ(sim::shownWith(), row.show == 10 ? 10 : 1);
        }
    }
}

} // namespace
