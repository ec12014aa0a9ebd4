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

// The user's doings and Windows' events that the rows are made of. The requests are written
// D (DIAG), I (CAL-IN with the default settings), P (CAL-POINT) and A (CAL-ABORT).
enum Step {
    Touch0,      // touches target 1 (0 here), ...
    Touch1,      //  ... target 2
    Rushed,      // the next two steps come at once, the second ahead of a pending paint
    Press,       // a press on target 1 ...
    Lift,        //  ... and its release, as separate steps
    Key0,        // key 0: the other screen
    Key1Ok,      // key 1, and the setup dialog's OK ...
    Key1Cancel,  //  ... or Cancel
    WakeInBox,   // while the next box is up: sleep and wake, and no request until it closes
    RefuseCalIn, // the controller refuses the second CAL-IN
    ScreenSaver, // WM_SYSCOMMAND SC_SCREENSAVE
    DisplayOff,  // SC_MONITORPOWER 2
    SystemClose, // SC_CLOSE, as Alt+F4 gives
    LogOff,      // the session ends ...
    LogOffNot,   //  ... or another program cancels it
    QuitPosted,  // another program posts WM_QUIT
    Wake,        // sleep, and a wake with a user there ...
    WakeAlone,   //  ... or without one
    Screen800,   // the display changes to 800 x 600 ...
    Screen1024,  //  ... to the size it has ...
    Screen1280,  //  ... to 1280 x 1024, whose help line is then checked
};

constexpr int kRunEnded = -2; // the event ends the run, or no window ever came

struct Row {
    const char* event;
    std::vector<Step> steps; // the harness then ends a run still going
    Strings requests;
    int target;    // red afterwards: -1 none (the test screen), or kRunEnded
    int show = 10; // SW_SHOWDEFAULT
    int copy = 0;  // a copy already runs: 1 in this session, 2 in another
};

const char* const D = kDiag;
const char* const I = kCalInDefault;
const char* const P = kCalPoint;
const char* const A = kCalAbort;

int shownTarget = kRunEnded;
size_t requestsBeforeWake = 0;

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

void scriptStep(Step step) {
    Pixel target = nineGridTarget(step == Touch1 ? 1 : 0);
    switch (step) {
    case Touch0:
    case Touch1:
        return sim::touch(target.x, target.y);
    case Press:
        return sim::pressAt(target.x, target.y);
    case Lift:
        return sim::releaseAt(target.x, target.y);
    case Key0:
        return sim::key('0');
    case Key1Ok:
    case Key1Cancel:
        sim::scriptDialog({sim::click(step == Key1Ok ? win::IDOK : win::IDCANCEL)});
        return sim::key('1');
    case WakeInBox:
        return sim::whileNextBoxIsUp([] {
            requestsBeforeWake = sim::requests().size();
            sim::sleepAndWake(true);
            sim::then(
                [] { EXPECT_EQ(sim::requests().size(), requestsBeforeWake) << "in the box"; });
        });
    case RefuseCalIn:
        sim::controller().script.refuseCommand = PM_CMD_CAL_IN;
        sim::controller().script.refuseOccurrence = 2;
        return;
    default:
        return sim::then([step] {
            switch (step) {
            case ScreenSaver:
            case DisplayOff:
            case SystemClose:
                return sim::systemCommand(step == ScreenSaver  ? win::SC_SCREENSAVE
                                          : step == DisplayOff ? win::SC_MONITORPOWER
                                                               : win::SC_CLOSE,
                                          2);
            case LogOff:
            case LogOffNot:
                return sim::endSession(step == LogOffNot);
            case QuitPosted:
                return sim::postFromAnotherProgram(win::WM_QUIT, 7, 0);
            case Wake:
            case WakeAlone:
                return sim::sleepAndWake(step == Wake);
            default:
                sim::changeDisplay(step == Screen800    ? 800
                                   : step == Screen1024 ? 1024
                                                        : 1280,
                                   step == Screen800    ? 600
                                   : step == Screen1024 ? 768
                                                        : 1024);
                if (step == Screen1280) // once the test screen is drawn again
                    sim::then([] { EXPECT_EQ(sim::pixel(1279, 1007), kBlack) << "separator"; });
            }
        });
    }
}

TEST(SystemEvents, EachLeavesTheControllerAndTheScreenAsTheyShouldBe) {
    const Row rows[] = {
        {"the screen saver's time", {ScreenSaver, Touch0}, {D, I, P, A, A}, 1},
        {"the display's idle time", {DisplayOff}, {D, I, A, A}, 0},
        {"Alt+F4's system command", {SystemClose}, {D, I, A}, kRunEnded},
        {"a log-off", {Touch0, LogOff}, {D, I, P, A, A}, kRunEnded},
        {"a log-off cancelled elsewhere", {Touch0, LogOffNot}, {D, I, P, A, A}, 1},
        {"another program's WM_QUIT", {Touch0, QuitPosted}, {D, I, P, A, A}, kRunEnded},
        {"a lift of a press elsewhere", {Lift}, {D, I, A, A}, 0},
        {"a test-screen press lifted after key 0",
         {Key0, Press, Key0, Lift},
         {D, I, A, I, A, A},
         0},
        {"a press lifted after the dialog's Cancel", {Press, Key1Cancel, Lift}, {D, I, A, A}, 0},
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
                sim::rushed([&] {
                    scriptStep(row.steps[i + 1]);
                    scriptStep(row.steps[i + 2]);
                });
                i += 2;
            } else {
                scriptStep(row.steps[i]);
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
        if (row.copy) {
            // The running copy is brought to the front where it can be found.
            int raised = 0;
            for (const sim::Call& call : sim::calls())
                raised += call.name == "SetForegroundWindow" && call.a == 1;
            EXPECT_EQ(raised, row.copy == 1 ? 1 : 0);
        } else {
            EXPECT_EQ(sim::executionState(), 0x80000003u) << "display and system required";
            EXPECT_EQ(sim::callsNamed({"ShowWindow"}).at(0),
                      row.show == 10 ? "ShowWindow 10" : "ShowWindow 1");
        }
    }
}

} // namespace
