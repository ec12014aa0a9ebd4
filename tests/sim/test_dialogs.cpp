// The simulated dialog manager over the program's own resource script.
#include "test_window.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int kPanel12 = 10, kPanel67 = 13;

// The dialog procedure under test: keeps every WM_COMMAND, checks the radio buttons the
// way a dialog procedure must (plain radio buttons do not check themselves), ends on
// IDOK/IDCANCEL, and lets each test set up WM_INITDIALOG.
std::vector<win::WPARAM> commands;
std::vector<win::LPARAM> commandSources;
std::function<win::INT_PTR(win::HWND)> onInit;

win::INT_PTR dialogProc(win::HWND dialog, win::UINT message, win::WPARAM wParam,
                        win::LPARAM lParam) {
    if (message == win::WM_INITDIALOG)
        return onInit ? onInit(dialog) : win::TRUE;
    if (message != win::WM_COMMAND)
        return win::FALSE;
    commands.push_back(wParam);
    commandSources.push_back(lParam);
    if (wParam == win::IDOK || wParam == win::IDCANCEL)
        win::EndDialog(dialog, static_cast<win::INT_PTR>(wParam) * 10);
    return win::TRUE;
}

win::INT_PTR openDialog(const char* name, std::vector<sim::DialogAction> actions) {
    sim::scriptDialog(std::move(actions));
    return win::DialogBoxParamA(sim::programInstance(), name, nullptr, dialogProc, 0);
}

class SimDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::reset();
        commands.clear();
        commandSources.clear();
        onInit = nullptr;
    }
};

TEST_F(SimDialog, TemplatesComeFromTheResourceScript) {
    sim::OpenDialog seen;
    EXPECT_EQ(
        openDialog("hossetboxe", {sim::inspect([&seen](const sim::OpenDialog& d) { seen = d; }),
                                  sim::click(win::IDCANCEL)}),
        20);
    EXPECT_EQ(seen.templateName, "HosSetBoxE") << "names are matched without regard to case";
    // With the system font's 8 x 16 base units, where Windows puts the framed dialog.
    EXPECT_EQ((std::vector<long>{seen.rect.left, seen.rect.top, seen.rect.right, seen.rect.bottom}),
              (std::vector<long>{127, 47, 401, 393}));
    ASSERT_EQ(seen.controls.size(), 16u);
    EXPECT_EQ(seen.controls[0].id, -1);
    EXPECT_EQ(seen.controls[0].className, "Static");
    EXPECT_EQ(seen.controls[0].style, 0x50020001u);
    EXPECT_EQ(seen.controls[0].text, "Calibration parameter setup");
    EXPECT_EQ(seen.controls[6].text, " Calib. point   ");
    EXPECT_EQ(seen.controls[15].id, win::IDCANCEL);
    EXPECT_EQ(seen.controls[14].style, 0x50030001u);

    openDialog("HosSetBox", {sim::click(win::IDOK)});
    EXPECT_EQ(sim::dialogs()[1].controls[0].text, "補正パラメータ設定");
    EXPECT_EQ(sim::dialogs()[1].controls[2].text, " 12.1 ｲﾝﾁ");
    EXPECT_TRUE(sim::errors().empty());
}

TEST_F(SimDialog, UnknownTemplateFailsWithoutCallingTheProcedure) {
    bool called = false;
    onInit = [&called](win::HWND) {
        called = true;
        return win::TRUE;
    };
    EXPECT_EQ(win::DialogBoxParamA(nullptr, "NoSuchBox", nullptr, dialogProc, 0), -1);
    EXPECT_EQ(win::DialogBoxParamA(nullptr, win::MAKEINTRESOURCEA(1), nullptr, dialogProc, 0), -1);
    EXPECT_FALSE(called);
    EXPECT_TRUE(sim::dialogs().empty());
}

TEST_F(SimDialog, DefaultFocusFollowsTheTabStopsThatChecksMove) {
    // Escape ends each dialog without moving the focus, so the final state shows the first.
    openDialog("HosSetBoxE", {sim::dialogKey(win::VK_ESCAPE)}); // TRUE, nothing checked
    EXPECT_EQ(sim::dialogs().back().focusId, kPanel12);

    onInit = [](win::HWND dialog) {
        win::CheckRadioButton(dialog, kPanel12, kPanel67, kPanel67);
        return win::TRUE;
    };
    openDialog("HosSetBoxE", {sim::dialogKey(win::VK_ESCAPE)});
    EXPECT_EQ(sim::dialogs().back().focusId, kPanel67)
        << "a checked radio button takes WS_TABSTOP from the unchecked ones";

    onInit = [](win::HWND dialog) {
        win::SetFocus(win::GetDlgItem(dialog, 12));
        return win::FALSE;
    };
    openDialog("HosSetBoxE", {sim::dialogKey(win::VK_ESCAPE)});
    EXPECT_EQ(sim::dialogs().back().focusId, 12);

    onInit = [](win::HWND) { return win::FALSE; };
    openDialog("HosSetBoxE", {sim::dialogKey(win::VK_ESCAPE)});
    EXPECT_EQ(sim::dialogs().back().focusId, 0);
    openDialog("HosSetBoxE", {sim::click(win::IDOK)});
    EXPECT_EQ(sim::dialogs().back().focusId, win::IDOK) << "a clicked button takes the focus";
}

TEST_F(SimDialog, ClicksAndDoubleClicksNotifyAsTheButtonControlDoes) {
    openDialog("HosSetBoxE",
               {sim::click(11), sim::doubleClick(12), sim::click(-1), sim::doubleClick(win::IDOK)});
    EXPECT_EQ(commands,
              (std::vector<win::WPARAM>{11, 12, win::MAKEWPARAM(12, win::BN_DBLCLK), win::IDOK}))
        << "group boxes and statics stay silent; the dialog ended at the first OK";
    EXPECT_NE(commandSources[0], 0) << "lParam is the control's handle";
    const sim::OpenDialog& d = sim::dialogs().back();
    EXPECT_TRUE(d.ended);
    EXPECT_EQ(d.result, 10);
    for (const sim::DialogControl& c : d.controls)
        EXPECT_FALSE(c.checked) << "a plain radio button does not check itself: " << c.id;
    EXPECT_EQ(d.focusId, win::IDOK);
}

TEST_F(SimDialog, CheckRadioButtonSetsTheWholeRange) {
    std::vector<int> checked;
    onInit = [](win::HWND dialog) {
        win::CheckRadioButton(dialog, 10, 13, 11);
        win::CheckRadioButton(dialog, 20, 21, 21);
        win::CheckRadioButton(dialog, 10, 13, 12);
        EXPECT_EQ(win::GetDlgItem(dialog, 99), nullptr);
        return win::TRUE;
    };
    openDialog("HosSetBox", {sim::inspect([&checked](const sim::OpenDialog& d) {
                                 for (const sim::DialogControl& c : d.controls)
                                     if (c.checked)
                                         checked.push_back(c.id);
                             }),
                             sim::click(win::IDOK)});
    EXPECT_EQ(checked, (std::vector<int>{12, 21}));
}

TEST_F(SimDialog, EnterChoosesTheFocusedOrDefaultPushButtonEscapeCancels) {
    onInit = [](win::HWND dialog) {
        win::SetFocus(win::GetDlgItem(dialog, kPanel67));
        return win::FALSE;
    };
    EXPECT_EQ(openDialog("HosSetBoxE", {sim::dialogKey(win::VK_RETURN)}), 10);
    EXPECT_EQ(openDialog("HosSetBoxE", {sim::dialogKey(win::VK_ESCAPE)}), 20);
    onInit = [](win::HWND dialog) {
        win::SetFocus(win::GetDlgItem(dialog, win::IDCANCEL));
        return win::FALSE;
    };
    EXPECT_EQ(openDialog("HosSetBoxE", {sim::dialogKey(win::VK_RETURN)}), 20);
    EXPECT_EQ(commands, (std::vector<win::WPARAM>{win::IDOK, win::IDCANCEL, win::IDCANCEL}));
    EXPECT_NE(commandSources[0], 0);
}

TEST_F(SimDialog, AScriptThatRunsOutEndsTheDialogWithMinusOne) {
    EXPECT_EQ(openDialog("HosSetBoxE", {sim::click(11)}), -1);
    EXPECT_EQ(sim::errors().size(), 1u);
    EXPECT_EQ(win::DialogBoxParamA(nullptr, "HosSetBoxE", nullptr, dialogProc, 0), -1)
        << "no script at all";
    EXPECT_EQ(sim::errors().size(), 2u);
    openDialog("HosSetBoxE", {sim::click(win::IDOK), sim::click(11)});
    EXPECT_EQ(sim::errors().size(), 3u) << "an action left over";
}

TEST_F(SimDialog, OwnerKeepsPaintingAndLosesTheFocusWhileTheDialogIsUp) {
    win::HWND window = freshWindow();
    win::ShowWindow(window, win::SW_SHOWDEFAULT);
    win::UpdateWindow(window);
    received.clear();
    std::vector<win::UINT> beforeFirstAction, afterClick;
    onInit = [window](win::HWND) {
        win::InvalidateRect(window, nullptr, win::TRUE);
        return win::TRUE;
    };
    sim::key('A');
    sim::scriptDialog({sim::inspect([&](const sim::OpenDialog&) {
                           beforeFirstAction = messages();
                           win::PostMessageA(window, win::WM_USER, 0, 0);
                       }),
                       sim::click(11),
                       sim::inspect([&](const sim::OpenDialog&) { afterClick = messages(); }),
                       sim::click(win::IDCANCEL)});
    win::DialogBoxParamA(nullptr, "HosSetBoxE", window, dialogProc, 0);
    EXPECT_EQ(beforeFirstAction, (std::vector<win::UINT>{win::WM_CANCELMODE, win::WM_KILLFOCUS,
                                                         win::WM_PAINT, win::WM_ERASEBKGND}));
    EXPECT_EQ(afterClick.back(), win::WM_USER);
    EXPECT_EQ(messages().back(), win::WM_SETFOCUS);
    EXPECT_EQ(sim::pendingInput(), 1u) << "the dialog's scripted actions come first";
}

TEST_F(SimDialog, WithoutAScriptKeysGoToTheFocusedControlAndTouchesAreLost) {
    win::HWND window = freshWindow(0, 0, 1024, 768);
    win::ShowWindow(window, win::SW_SHOWDEFAULT);
    win::UpdateWindow(window);
    received.clear();
    sim::touch(200, 100); // on the disabled owner, under the dialog
    sim::key(win::VK_TAB);
    sim::key(0x20); // space: clicks the focused button
    sim::key(win::VK_ESCAPE);
    EXPECT_EQ(win::DialogBoxParamA(nullptr, "HosSetBoxE", window, dialogProc, 0), 20);
    // The focus starts on the first tab stop, the 12.1 inch button; Tab moves it to the next.
    EXPECT_EQ(commands, (std::vector<win::WPARAM>{20, win::IDCANCEL}));
    EXPECT_EQ(messages(),
              (std::vector<win::UINT>{win::WM_CANCELMODE, win::WM_KILLFOCUS, win::WM_SETFOCUS}));
    EXPECT_TRUE(sim::errors().empty());
}

} // namespace
