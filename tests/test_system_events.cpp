// What Windows itself does around a run: one row per event, with the screen it meets, the
// requests the controller gets over the whole run and the target shown after it.
#include "test_support.h"

#include "calib/controller.h"
#include "screen/target_grid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

constexpr int kRunEnded = -2; // the event ends the run, or no window ever came

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

int shownTarget = kRunEnded;
size_t requestsBeforeWake = 0;

void touchTarget(int i) {
    Pixel p = nineGridTarget(i);
    sim::touch(p.x, p.y);
}

struct Row {
    const char* event;
    void (*script)(); // the run's input with the event; the harness ends a run still going
    Strings requests;
    int target;    // red after the script: -1 none (the test screen), or kRunEnded
    int show = 10; // SW_SHOWDEFAULT
    void (*config)(sim::Config&) = nullptr;
};

void anotherCopy(sim::Config& c) {
    c.otherProcessMutex = "Global\\panelcal-calibration";
    c.otherProcessWindowClass = "CALIB:MAIN";
}

TEST(SystemEvents, EachLeavesTheControllerAndTheScreenAsTheyShouldBe) {
    const Row rows[] = {
        {"the screen saver's time",
         [] {
             sim::then([] { sim::systemCommand(win::SC_SCREENSAVE, 0); });
             touchTarget(0);
         },
         {kDiag, kCalInDefault, kCalPoint, kCalAbort, kCalAbort},
         1},
        {"the display's idle time",
         [] { sim::then([] { sim::systemCommand(win::SC_MONITORPOWER, 2); }); },
         {kDiag, kCalInDefault, kCalAbort, kCalAbort},
         0},
        {"Alt+F4's system command",
         [] { sim::then([] { sim::systemCommand(win::SC_CLOSE, 0); }); },
         {kDiag, kCalInDefault, kCalAbort},
         kRunEnded},
        {"a log-off",
         [] {
             touchTarget(0);
             sim::then([] { sim::endSession(); });
         },
         {kDiag, kCalInDefault, kCalPoint, kCalAbort, kCalAbort},
         kRunEnded},
        {"a log-off that another program cancels",
         [] {
             touchTarget(0);
             sim::then([] { sim::endSession(true); });
         },
         {kDiag, kCalInDefault, kCalPoint, kCalAbort, kCalAbort},
         1},
        {"a WM_QUIT that another program posts",
         [] {
             touchTarget(0);
             sim::then([] { sim::postFromAnotherProgram(win::WM_QUIT, 7, 0); });
         },
         {kDiag, kCalInDefault, kCalPoint, kCalAbort, kCalAbort},
         kRunEnded},
        {"a lift whose press went to another window",
         [] { sim::releaseAt(25, 18); },
         {kDiag, kCalInDefault, kCalAbort, kCalAbort},
         0},
        {"a press on the test screen lifted after key 0",
         [] {
             sim::key('0');
             sim::pressAt(500, 300);
             sim::key('0');
             sim::releaseAt(500, 300);
         },
         {kDiag, kCalInDefault, kCalAbort, kCalInDefault, kCalAbort, kCalAbort},
         0},
        {"a press lifted after the setup dialog's Cancel",
         [] {
             sim::pressAt(25, 18);
             sim::scriptDialog({sim::click(win::IDCANCEL)});
             sim::key('1');
             sim::releaseAt(25, 18);
         },
         {kDiag, kCalInDefault, kCalAbort, kCalAbort},
         0},
        {"sleep and wake, with a user there",
         [] {
             touchTarget(0);
             touchTarget(1);
             // The touch is already waiting when the wake comes: the restart goes first.
             sim::rushed([] {
                 sim::then([] { sim::sleepAndWake(true); });
                 touchTarget(0);
             });
         },
         {kDiag, kCalInDefault, kCalPoint, kCalPoint, kCalAbort, kCalInDefault, kCalPoint,
          kCalAbort, kCalAbort},
         1},
        {"sleep and wake with no user there",
         [] {
             touchTarget(0);
             sim::then([] { sim::sleepAndWake(false); });
         },
         {kDiag, kCalInDefault, kCalPoint, kCalAbort, kCalInDefault, kCalAbort, kCalAbort},
         0},
        {"sleep and wake on the test screen, then back",
         [] {
             sim::key('0');
             sim::then([] { sim::sleepAndWake(false); });
             sim::key('0');
         },
         {kDiag, kCalInDefault, kCalAbort, kCalInDefault, kCalAbort, kCalAbort},
         0},
        {"a wake while CAL-IN's box is up",
         [] {
             sim::controller().script.refuseCommand = PM_CMD_CAL_IN;
             sim::controller().script.refuseOccurrence = 2;
             sim::whileNextBoxIsUp([] {
                 requestsBeforeWake = sim::requests().size();
                 sim::sleepAndWake(true);
                 sim::then([] {
                     EXPECT_EQ(sim::requests().size(), requestsBeforeWake)
                         << "a restart inside the box's loop";
                 });
             });
             sim::scriptDialog({sim::click(win::IDOK)});
             sim::key('1');
         },
         {kDiag, kCalInDefault, kCalAbort, kCalInDefault, kCalAbort, kCalInDefault, kCalAbort,
          kCalAbort},
         0},
        {"a smaller screen",
         [] {
             touchTarget(0);
             sim::then([] { sim::changeDisplay(800, 600); });
         },
         {kDiag, kCalInDefault, kCalPoint, kCalAbort, kCalInDefault, kCalAbort, kCalAbort},
         0},
        {"a new mode of the same size",
         [] {
             touchTarget(0);
             sim::then([] { sim::changeDisplay(1024, 768); });
         },
         {kDiag, kCalInDefault, kCalPoint, kCalAbort, kCalAbort},
         1},
        {"a larger screen on the test screen",
         [] {
             sim::key('0');
             sim::then([] { sim::changeDisplay(1280, 1024); });
             sim::then([] { EXPECT_EQ(sim::pixel(1279, 1024 - 16 - 1), kBlack) << "separator"; });
         },
         {kDiag, kCalInDefault, kCalAbort, kCalAbort},
         -1},
        {"a copy already running in this session", [] {}, {}, kRunEnded, 10, anotherCopy},
        {"a copy already running in another session",
         [] {},
         {},
         kRunEnded,
         10,
         [](sim::Config& c) {
             anotherCopy(c);
             c.otherProcessInAnotherSession = true;
         }},
        {"a minimized start", [] {}, {kDiag, kCalInDefault, kCalAbort, kCalAbort}, 0, 7},
        {"a hidden start", [] {}, {kDiag, kCalInDefault, kCalAbort, kCalAbort}, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.event);
        sim::Config config;
        if (row.config)
            row.config(config);
        startFreshProcess(config);
        shownTarget = kRunEnded;
        row.script();
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
        if (row.config) {
            // The running copy is brought to the front where it can be found.
            int raised = 0;
            for (const sim::Call& call : sim::calls())
                raised += call.name == "SetForegroundWindow" && call.a == 1;
            EXPECT_EQ(raised, config.otherProcessInAnotherSession ? 0 : 1);
        } else {
            EXPECT_EQ(sim::executionState(), 0x80000003u) << "display and system required";
            EXPECT_EQ(sim::callsNamed({"ShowWindow"}).at(0),
                      row.show == 10 ? "ShowWindow 10" : "ShowWindow 1");
        }
    }
}

} // namespace
