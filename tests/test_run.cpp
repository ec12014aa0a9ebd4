// Whole runs of the program over the simulated Windows: what the controller receives, what
// the screen shows and how each run ends.
#include "test_support.h"

#include "calib/controller.h"
#include "screen/target_grid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

const char* const kBeep = "MessageBeep FFFFFFFF";

std::string request(const char* hex) {
    return std::string("DeviceIoControl ") + hex;
}

// Requests and beeps in the order they happened.
Strings exchanges() {
    return sim::callsNamed({"DeviceIoControl", "MessageBeep"});
}

Strings repeat(const Strings& block, int times) {
    Strings out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), block.begin(), block.end());
    return out;
}

Strings concat(std::initializer_list<Strings> parts) {
    Strings out;
    for (const Strings& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

class Run : public ::testing::Test {
  protected:
    void SetUp() override { startFreshProcess(); }
};

TEST_F(Run, CompleteDefaultRun) {
    for (int i = 0; i < 9; ++i) {
        Pixel p = nineGridTarget(i);
        sim::then([p] { EXPECT_EQ(sim::pixel(p.x, p.y), kRed); });
        sim::pressAt(p.x, p.y);
        sim::then([p] { EXPECT_EQ(sim::pixel(p.x, p.y), kBlue); });
        sim::releaseAt(p.x, p.y);
        sim::then([p] { EXPECT_EQ(sim::pixel(p.x, p.y), kWhite); });
    }
    sim::then([] {
        EXPECT_EQ(calibState.testScreen, 1);
        EXPECT_EQ(sim::countPixels(0, 0, 1024, 768, kRed), 0) << "no target on the test screen";
    });
    sim::key(win::VK_RETURN);
    int exitCode = sim::runToExit();

    Strings expected = concat({{request(kDiag), request(kCalInDefault)},
                               repeat({request(kCalPoint), kBeep}, 9),
                               {request(kCalOut), request(kCalAbort)}});
    EXPECT_EQ(exchanges(), expected);
    EXPECT_TRUE(sim::messageBoxes().empty());
    expectCleanEnd(exitCode);
}

TEST_F(Run, RefusedPointStaysCurrentAndTurnsRedAgain) {
    sim::controller().script.refuseCommand = PM_CMD_CAL_POINT;
    sim::controller().script.refuseOccurrence = 2;
    sim::touch(25, 18);
    sim::pressAt(25, 384);
    sim::then([] { EXPECT_EQ(sim::pixel(25, 384), kBlue); });
    sim::releaseAt(25, 384); // refused
    sim::then([] {
        EXPECT_EQ(sim::pixel(25, 384), kRed);
        EXPECT_EQ(calibState.pointIndex, 1);
    });
    sim::touch(25, 384); // accepted
    sim::then([] {
        EXPECT_EQ(sim::pixel(25, 384), kWhite);
        EXPECT_EQ(sim::pixel(25, 749), kRed);
    });
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit());
    EXPECT_EQ(exchanges(), (Strings{request(kDiag), request(kCalInDefault), request(kCalPoint),
                                    kBeep, request(kCalPoint), request(kCalPoint), kBeep,
                                    request(kCalAbort), request(kCalAbort)}));
    EXPECT_TRUE(sim::messageBoxes().empty()) << "a refused point is not reported";
}

TEST_F(Run, AnyTouchCountsWhereverItIs) {
    sim::touch(700, 600); // far from target 0
    sim::then([] { EXPECT_EQ(calibState.pointIndex, 1); });
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit());
    EXPECT_EQ(sentRequests(), (Strings{kDiag, kCalInDefault, kCalPoint, kCalAbort, kCalAbort}));
}

TEST_F(Run, CalOutFailingEndsTheRun) {
    sim::controller().script.refuseCommand = PM_CMD_CAL_OUT;
    touchTargets(9, nineGridTarget);
    int exitCode = sim::runToExit();
    EXPECT_EQ(
        sentRequests(),
        concat({{kDiag, kCalInDefault}, repeat({kCalPoint}, 9), {kCalOut, kCalAbort, kCalAbort}}));
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::messageBoxes()[0].caption, toShiftJis("補正終了コマンド"));
    EXPECT_EQ(sim::messageBoxes()[0].text, toShiftJis("コマンド受付けエラー"));
    expectCleanEnd(exitCode);
}

TEST_F(Run, DiagRefusedAtStart) {
    sim::controller().script.diagErrorCode = 13;
    int exitCode = sim::runToExit();
    EXPECT_EQ(sentRequests(), (Strings{kDiag, kCalAbort}));
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::messageBoxes()[0].text, toShiftJis("通信エラー"));
    expectCleanEnd(exitCode);
}

TEST_F(Run, CalInRefusedAtStart) {
    sim::controller().script.refuseCommand = PM_CMD_CAL_IN;
    int exitCode = sim::runToExit();
    EXPECT_EQ(sentRequests(), (Strings{kDiag, kCalInDefault, kCalAbort}));
    EXPECT_EQ(sim::messageBoxes().size(), 1u);
    expectCleanEnd(exitCode);
}

TEST_F(Run, DeviceMissingClosesAtOnceWithoutAMessage) {
    sim::Config config;
    config.devicePresent = false;
    startFreshProcess(config);
    int exitCode = sim::runToExit();
    EXPECT_TRUE(sim::messageBoxes().empty());
    // DIAG was attempted, and CAL-ABORT was the last attempt, at destruction.
    EXPECT_EQ(sim::callsNamed({"CreateFileA"}).size(), 2u);
    EXPECT_EQ(sim::callsNamed({"DeviceIoControl"}).size(), 0u);
    EXPECT_EQ(sim::callsNamed({"CreateFileA", "PostQuitMessage"}).back(), "PostQuitMessage 0");
    expectCleanEnd(exitCode);
}

TEST_F(Run, EscapeAbandonsTheCalibration) {
    sim::touch(25, 18);
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit());
    EXPECT_EQ(sentRequests(), (Strings{kDiag, kCalInDefault, kCalPoint, kCalAbort, kCalAbort}));
}

TEST_F(Run, ClosingByThePlatformStillAbortsInTheController) {
    sim::touch(25, 18);
    sim::closeWindow(); // Alt+F4
    expectCleanEnd(sim::runToExit());
    EXPECT_EQ(sentRequests(), (Strings{kDiag, kCalInDefault, kCalPoint, kCalAbort}));
}

TEST_F(Run, KeyZeroTwiceGoesToTheTestScreenAndBackWithoutDiag) {
    sim::touch(25, 18);
    sim::key('0');
    sim::then([] {
        EXPECT_EQ(calibState.testScreen, 1);
        EXPECT_EQ(sim::countPixels(0, 0, 1024, 768, kRed), 0);
    });
    sim::key(win::VK_NUMPAD0);
    sim::then([] {
        EXPECT_EQ(calibState.testScreen, 0);
        EXPECT_EQ(calibState.pointIndex, 0);
        EXPECT_EQ(sim::pixel(25, 18), kRed) << "calibration starts again at the first target";
    });
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit());
    EXPECT_EQ(sentRequests(), (Strings{kDiag, kCalInDefault, kCalPoint, kCalAbort, kCalInDefault,
                                       kCalAbort, kCalAbort}));
}

TEST_F(Run, CalInFailingAfterTheTestScreenEndsTheRun) {
    sim::key('0');
    sim::then([] { sim::controller().script.refuseCommand = PM_CMD_CAL_IN; });
    sim::key('0');
    int exitCode = sim::runToExit();
    EXPECT_EQ(sentRequests(), (Strings{kDiag, kCalInDefault, kCalAbort, kCalInDefault, kCalAbort}));
    EXPECT_EQ(sim::messageBoxes().size(), 1u);
    expectCleanEnd(exitCode);
}

TEST_F(Run, AStartRequestThatIsNotDueChangesNothing) {
    // Any program on the desktop can post WM_USER; only the program's own request starts.
    static CalibState before;
    static size_t callsBefore;
    auto postFromElsewhere = [] {
        before = calibState;
        callsBefore = sim::calls().size();
        sim::postFromAnotherProgram(win::WM_USER, 0, 0);
    };
    auto expectNothingChanged = [] {
        EXPECT_EQ(std::memcmp(&before, &calibState, sizeof before), 0);
        EXPECT_EQ(sim::calls().size(), callsBefore + 3) << "only the loop's own three calls";
    };
    sim::touch(25, 18);
    sim::then(postFromElsewhere); // mid-calibration
    sim::then(expectNothingChanged);
    for (int i = 1; i < 9; ++i) {
        Pixel p = nineGridTarget(i);
        sim::touch(p.x, p.y);
    }
    sim::then(postFromElsewhere); // the test screen
    sim::then(expectNothingChanged);
    sim::then([] { sim::controller().script.refuseCommand = PM_CMD_CAL_IN; });
    sim::whileNextBoxIsUp(postFromElsewhere); // and while CAL-IN's refusal is on the screen
    sim::key('0');
    int exitCode = sim::runToExit();
    EXPECT_EQ(sentRequests(), concat({{kDiag, kCalInDefault},
                                      repeat({kCalPoint}, 9),
                                      {kCalOut, kCalInDefault, kCalAbort}}));
    EXPECT_EQ(sim::messageBoxes().size(), 1u);
    expectCleanEnd(exitCode);
}

// Another program posts a touch, key 1 and a start request to the window while a box or the
// setup dialog is up. Windows has disabled the window meanwhile; the messages still reach it
// through the modal loop, and none of them may act there.
void postTouchKeyAndStart() {
    win::LPARAM middle = (384 << 16) | 512;
    sim::postFromAnotherProgram(win::WM_LBUTTONDOWN, 1, middle);
    sim::postFromAnotherProgram(win::WM_LBUTTONUP, 0, middle);
    sim::postFromAnotherProgram(win::WM_KEYDOWN, '1', 1);
    sim::postFromAnotherProgram(win::WM_USER, 0, 0);
}

TEST_F(Run, InputPostedWhileABoxOrTheDialogIsUpDoesNothing) {
    struct Case {
        const char* what;
        void (*script)();
        Strings requests;
        size_t boxes, dialogs;
    };
    const Case cases[] = {
        {"the refused CAL-OUT's box",
         [] {
             sim::controller().script.refuseCommand = PM_CMD_CAL_OUT;
             sim::whileNextBoxIsUp(postTouchKeyAndStart);
             touchTargets(9, nineGridTarget);
         },
         concat({{kDiag, kCalInDefault}, repeat({kCalPoint}, 9), {kCalOut, kCalAbort, kCalAbort}}),
         1, 0},
        {"the DIAG error box",
         [] {
             sim::controller().script.diagErrorCode = 12;
             sim::whileNextBoxIsUp(postTouchKeyAndStart);
         },
         {kDiag, kCalAbort},
         1,
         0},
        {"the setup dialog",
         [] {
             sim::scriptDialog(
                 {sim::inspect([](const sim::OpenDialog&) { postTouchKeyAndStart(); }),
                  sim::click(win::IDCANCEL)});
             sim::key('1');
             sim::then([] { EXPECT_EQ(sim::pixel(25, 18), kRed) << "still target 1"; });
             sim::key(win::VK_ESCAPE);
         },
         {kDiag, kCalInDefault, kCalAbort, kCalAbort},
         0,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startFreshProcess();
        c.script();
        expectCleanEnd(sim::runToExit());
        EXPECT_EQ(sentRequests(), c.requests);
        EXPECT_EQ(sim::messageBoxes().size(), c.boxes);
        EXPECT_EQ(sim::dialogs().size(), c.dialogs);
    }
}

TEST_F(Run, AutoRepeatAndKeysOfTheOtherScreenDoNothing) {
    sim::key('0', true);            // a held key's repeat
    sim::key(win::VK_RETURN);       // test screen only
    sim::key(win::VK_DELETE);       // test screen only
    sim::key(win::VK_ESCAPE, true); // repeat
    sim::key('A');                  // not a key of the program
    sim::then([] {
        EXPECT_EQ(calibState.testScreen, 0);
        EXPECT_EQ(calibState.barAtTop, 0);
        EXPECT_TRUE(sim::windowExists());
    });
    sim::key('0');
    sim::key('1'); // calibration screen only
    sim::key(win::VK_NUMPAD1);
    sim::key(win::VK_ESCAPE); // calibration screen only
    sim::then([] {
        EXPECT_TRUE(sim::dialogs().empty());
        EXPECT_TRUE(sim::windowExists());
        EXPECT_EQ(calibState.testScreen, 1);
    });
    sim::key(win::VK_DELETE);
    sim::then([] { EXPECT_EQ(calibState.barAtTop, 1); });
    sim::key(win::VK_DELETE, true);
    sim::then([] { EXPECT_EQ(calibState.barAtTop, 1); });
    sim::key(win::VK_RETURN, true);
    sim::then([] { EXPECT_TRUE(sim::windowExists()); });
    sim::key(win::VK_RETURN);
    expectCleanEnd(sim::runToExit());
    EXPECT_EQ(sentRequests(), (Strings{kDiag, kCalInDefault, kCalAbort, kCalAbort}));
}

TEST_F(Run, NumericPadOneOpensTheSetupDialog) {
    sim::scriptDialog({sim::dialogKey(win::VK_ESCAPE)});
    sim::key(win::VK_NUMPAD1);
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit());
    EXPECT_EQ(sim::dialogs().size(), 1u);
}

TEST_F(Run, TestScreenDrawsOnlyWhileTheButtonIsDown) {
    sim::key('0');
    sim::moveTo(500, 300); // button up: nothing
    sim::then([] { EXPECT_EQ(sim::countPixels(0, 0, 1024, 700, kBlack), 0); });
    sim::pressAt(500, 300);
    sim::moveTo(520, 300);
    sim::releaseAt(520, 300);
    sim::then([] {
        EXPECT_EQ(sim::pixel(500, 300), kBlack);
        EXPECT_EQ(sim::pixel(519, 300), kBlack);
        EXPECT_EQ(sim::pixel(520, 300), kWhite) << "a line leaves out its end point";
        EXPECT_EQ(sim::pixel(500, 301), kWhite);
    });
    sim::moveTo(600, 300);
    sim::then([] { EXPECT_EQ(sim::pixel(560, 300), kWhite); });
    sim::key(win::VK_DELETE); // full repaint clears the strokes
    sim::then([] { EXPECT_EQ(sim::pixel(500, 300), kWhite); });
    sim::key(win::VK_RETURN);
    expectCleanEnd(sim::runToExit());
}

TEST_F(Run, TabAndFocusMessagesDriveTheCursor) {
    sim::key(win::VK_TAB);
    sim::then([] { EXPECT_LT(sim::cursorCounter(), 0); });
    sim::key(win::VK_TAB, true); // repeat: ignored
    sim::then([] { EXPECT_LT(sim::cursorCounter(), 0); });
    sim::key(win::VK_TAB);
    sim::then([] { EXPECT_EQ(sim::cursorCounter(), 0); });
    sim::key(win::VK_TAB);
    sim::focusAway(); // losing the focus shows it, regaining leaves it shown
    sim::then([] { EXPECT_EQ(sim::cursorCounter(), 0); });
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit());
}

} // namespace
