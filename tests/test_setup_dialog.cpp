// The setup dialog, driven through the messages the platform sends it.
#include "test_support.h"

#include "calib/controller.h"
#include "screen/target_grid.h"
#include "settings/language.h"
#include "settings/setup_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

class SetupDialog : public ::testing::Test {
  protected:
    void SetUp() override { startFreshProcess(); }

    // Opens the dialog with key 1 from the calibration screen; the user's actions follow.
    static void openWith(std::vector<sim::DialogAction> actions) {
        sim::scriptDialog(std::move(actions));
        sim::key('1');
    }
};

TEST_F(SetupDialog, FirstOpeningShowsTheDefaults) {
    openWith({sim::inspect([](const sim::OpenDialog& d) {
                  EXPECT_EQ(d.templateName, "HosSetBox");
                  EXPECT_EQ(d.checkedIds(), (std::vector<int>{13, 20, 30}));
                  EXPECT_EQ(d.focusId, 13);
              }),
              sim::dialogKey(win::VK_ESCAPE)});
    sim::key(win::VK_ESCAPE);
    EXPECT_EQ(sim::runToExit(), 0);
    ASSERT_EQ(sim::dialogs().size(), 1u);
    EXPECT_EQ(sim::dialogs()[0].result, 0);
}

TEST_F(SetupDialog, EnglishTemplateWhenTheLanguageIsEnglish) {
    sim::Config config;
    config.hasLanguageValue = true;
    config.language = "ENU";
    startFreshProcess(config);
    openWith({sim::click(win::IDCANCEL)});
    sim::key(win::VK_ESCAPE);
    sim::runToExit();
    ASSERT_EQ(sim::dialogs().size(), 1u);
    EXPECT_EQ(sim::dialogs()[0].templateName, "HosSetBoxE");
    EXPECT_EQ(sim::dialogs()[0].controls[0].text, "Calibration parameter setup");
}

TEST_F(SetupDialog, CancelAfterChangesLeavesEverything) {
    openWith({sim::click(10), sim::click(21), sim::click(33), sim::click(win::IDCANCEL)});
    sim::then([] {
        EXPECT_EQ(calibSettings.panelSizeId, 13);
        EXPECT_EQ(calibSettings.pointCountId, 20);
        EXPECT_EQ(calibSettings.cableDirId, 30);
        EXPECT_EQ(calibState.paramsChanged, 0);
        EXPECT_EQ(targetGrid.total, 9);
    });
    // The next opening shows the old selections again.
    openWith({sim::inspect([](const sim::OpenDialog& d) {
                  EXPECT_EQ(d.checkedIds(), (std::vector<int>{13, 20, 30}));
              }),
              sim::dialogKey(win::VK_ESCAPE)});
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit());
    EXPECT_EQ(sentRequests(), (Strings{kDiag, kCalInDefault, kCalAbort, kCalAbort}));
}

TEST_F(SetupDialog, CancelKeepsTheTargetsWhereTheyWere) {
    // The controller keeps the points it has taken: the targets go on from the current one,
    // and the ninth point ends the calibration.
    touchTargets(4, nineGridTarget);
    openWith({sim::click(21), sim::click(win::IDCANCEL)});
    sim::then([] {
        EXPECT_EQ(calibState.pointIndex, 4);
        EXPECT_EQ(sim::pixel(512, 384), kRed);
        EXPECT_EQ(sim::countPixels(0, 0, 1024, 768, kRed), 141) << "only the current target";
    });
    for (int i = 4; i < 9; ++i) {
        Pixel p = nineGridTarget(i);
        sim::touch(p.x, p.y);
    }
    sim::then([] { EXPECT_EQ(calibState.testScreen, 1); });
    sim::key(win::VK_RETURN);
    expectCleanEnd(sim::runToExit());
    Strings expected = {kDiag, kCalInDefault};
    expected.insert(expected.end(), 9, kCalPoint);
    expected.push_back(kCalOut);
    expected.push_back(kCalAbort);
    EXPECT_EQ(sentRequests(), expected);
}

TEST_F(SetupDialog, OkWithoutChangeStillRestartsTheCalibration) {
    sim::touch(25, 18);
    openWith({sim::dialogKey(win::VK_RETURN)});
    sim::then([] {
        EXPECT_EQ(calibState.paramsChanged, 0) << "consumed by the repaint";
        EXPECT_EQ(sim::pixel(25, 18), kRed);
    });
    sim::key(win::VK_ESCAPE);
    sim::runToExit();
    EXPECT_EQ(sim::dialogs()[0].result, 1);
    EXPECT_EQ(sentRequests(), (Strings{kDiag, kCalInDefault, kCalPoint, kCalAbort, kCalInDefault,
                                       kCalAbort, kCalAbort}));
}

TEST_F(SetupDialog, ClicksCheckTheirGroupAndDoubleClickNotificationsAreIgnored) {
    openWith({sim::click(11), sim::click(11), sim::doubleClick(12), sim::click(31), sim::click(21),
              sim::inspect([](const sim::OpenDialog& d) {
                  EXPECT_EQ(d.checkedIds(), (std::vector<int>{12, 21, 31}));
              }),
              sim::click(win::IDOK)});
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit());
    EXPECT_EQ(calibSettings.panelSizeId, 12);
    EXPECT_EQ(calibSettings.pointCountId, 21);
    EXPECT_EQ(calibSettings.cableDirId, 31);
    // Three at the opening and one per click: the double-click's second notification checks
    // nothing.
    EXPECT_EQ(sim::callsNamed({"CheckRadioButton"}).size(), 3u + 5u);
}

TEST_F(SetupDialog, UnhandledCommandsReturnFalse) {
    startFreshProcess();
    for (win::WPARAM id : {0u, 3u, 9u, 14u, 19u, 22u, 29u, 34u, 0x0005000Cu})
        EXPECT_EQ(setupDialogProc(nullptr, win::WM_COMMAND, id, 0), win::FALSE) << id;
    EXPECT_EQ(setupDialogProc(nullptr, win::WM_CLOSE, 0, 0), win::FALSE);
    EXPECT_EQ(calibSettings.panelSizeId, 13);
}

TEST_F(SetupDialog, NewSettingsReachTheControllerAtTheNextPaint) {
    openWith({sim::click(10), sim::click(32), sim::click(21), sim::click(win::IDOK)});
    sim::then([] {
        EXPECT_EQ(targetGrid.total, 20);
        EXPECT_EQ(sim::pixel(25, 18), kRed);
        EXPECT_EQ(sim::countPixels(0, 0, 1024, 768, kRed), 141) << "only the first target";
    });
    for (int i = 0; i < 20; ++i) {
        Pixel p = twentyGridTarget(i);
        sim::then([p] { EXPECT_EQ(sim::pixel(p.x, p.y), kRed); });
        sim::touch(p.x, p.y);
    }
    sim::key(win::VK_RETURN);
    EXPECT_EQ(sim::runToExit(), 0);

    Strings expected = {kDiag, kCalInDefault, kCalAbort, "84 25 0B 02 2A 1E 16 02 69 1D"};
    expected.insert(expected.end(), 20, kCalPoint);
    expected.push_back(kCalOut);
    expected.push_back(kCalAbort);
    EXPECT_EQ(sentRequests(), expected);
}

TEST_F(SetupDialog, ATouchRightAfterOkGoesToTheNewCalibration) {
    // The user touches the first target at once, before the window has repainted: the
    // controller must already be in the new calibration.
    openWith({sim::click(21), sim::click(win::IDOK)});
    sim::rushed([] { sim::touch(25, 18); });
    sim::then([] { EXPECT_EQ(calibState.pointIndex, 1); });
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit());
    EXPECT_EQ(sentRequests(),
              (Strings{kDiag, kCalInDefault, kCalAbort, "84 25 2C 01 12 1E 73 01 69 1D", kCalPoint,
                       kCalAbort, kCalAbort}));
}

TEST_F(SetupDialog, RefusedCalInAfterNewSettingsKeepsTheScreen) {
    openWith({sim::click(win::IDOK)});
    sim::then([] {
        sim::controller().script.refuseCommand = PM_CMD_CAL_IN;
        sim::scriptDialog({sim::click(win::IDOK)});
    });
    sim::key('1');            // OK again, now refused at the repaint
    sim::key(win::VK_RETURN); // answers the box
    sim::touch(25, 18);
    sim::then([] {
        EXPECT_TRUE(sim::windowExists());
        EXPECT_EQ(calibState.pointIndex, 1) << "touches keep sending CAL-POINT";
    });
    sim::key(win::VK_ESCAPE);
    EXPECT_EQ(sim::runToExit(), 0);
    EXPECT_EQ(sim::messageBoxes().size(), 1u);
}

TEST_F(SetupDialog, CursorShownForTheDialogAndHiddenAgainAfter) {
    sim::key(win::VK_TAB); // hide
    openWith({sim::inspect([](const sim::OpenDialog&) { EXPECT_GE(sim::cursorCounter(), 0); }),
              sim::click(win::IDCANCEL)});
    sim::then([] { EXPECT_LT(sim::cursorCounter(), 0); });
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit());
}

} // namespace
