// The simulated window manager: creation, the queue's order, paints, destruction, focus and
// the nested loop of a message box.
#include "test_window.h"

#include <gtest/gtest.h>

namespace {

using Messages = std::vector<win::UINT>;

TEST(SimWindow, CreationSendsWmCreateAndTheFirstUpdatePaintsOnce) {
    win::HINSTANCE seen = nullptr;
    sim::reset();
    received.clear();
    hook = [&seen](win::HWND, win::UINT message, win::WPARAM, win::LPARAM lParam) {
        if (message == win::WM_CREATE)
            seen = reinterpret_cast<const win::CREATESTRUCTA*>(lParam)->hInstance;
        return false;
    };
    win::WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = recordingProc;
    windowClass.lpszClassName = "SIM:CREATE";
    ASSERT_NE(win::RegisterClassExA(&windowClass), 0);
    EXPECT_EQ(win::RegisterClassExA(&windowClass), 0) << "a class is registered once";
    win::HWND window =
        win::CreateWindowExA(win::WS_EX_TOPMOST, "sim:create", "text", win::WS_POPUP, 5, 6, 30, 20,
                             nullptr, nullptr, sim::programInstance(), nullptr);
    ASSERT_NE(window, nullptr) << "class names are matched without regard to case";
    EXPECT_EQ(messages(), Messages{win::WM_CREATE}) << "sent before CreateWindowExA returns";
    EXPECT_EQ(seen, sim::programInstance());
    EXPECT_EQ(sim::windowRect().right, 35);
    EXPECT_EQ(sim::windowExStyle(), win::WS_EX_TOPMOST);

    win::UpdateWindow(window);
    win::UpdateWindow(window);
    EXPECT_EQ(messages(), (Messages{win::WM_CREATE, win::WM_PAINT, win::WM_ERASEBKGND}));
    EXPECT_EQ(
        win::CreateWindowExA(0, "SIM:NONE", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
}

TEST(SimQueue, PostedMessagesThenInputThenPaintThenStarved) {
    win::HWND window = freshWindow();
    win::UpdateWindow(window);
    received.clear();
    sim::rushed([] { sim::key('B'); }); // waiting already, ahead of the paint
    sim::key('A');                      // a user who waits for the screen to settle
    sim::then([] { sim::postFromAnotherProgram(win::WM_USER + 2, 0, 0); });
    win::PostMessageA(window, win::WM_USER, 1, 2);
    win::InvalidateRect(window, nullptr, win::TRUE);
    win::PostMessageA(window, win::WM_USER + 1, 0, 0);

    EXPECT_EQ(pumpUntilQuit(), 0);
    EXPECT_EQ(messages(), (Messages{win::WM_USER, win::WM_USER + 1, win::WM_KEYDOWN, win::WM_PAINT,
                                    win::WM_ERASEBKGND, win::WM_KEYDOWN, win::WM_USER + 2}));
    EXPECT_EQ(received[0].wParam, 1u);
    EXPECT_EQ(received[0].lParam, 2);
    EXPECT_EQ(received[2].wParam, static_cast<win::WPARAM>('B'));
    EXPECT_TRUE(sim::starved());
    EXPECT_EQ(sim::callsNamed({"PostMessageA"}).size(), 2u) << "another program's post";
}

TEST(SimQueue, QuitComesAfterThePostedMessagesWithItsExitCode) {
    win::HWND window = freshWindow();
    win::UpdateWindow(window);
    received.clear();
    win::PostMessageA(window, win::WM_USER, 0, 0);
    win::PostQuitMessage(3);
    sim::key('A'); // never read: the quit comes first
    EXPECT_EQ(pumpUntilQuit(), 3);
    EXPECT_EQ(messages(), Messages{win::WM_USER});
    EXPECT_FALSE(sim::starved());
    EXPECT_EQ(sim::pendingInput(), 1u);
}

TEST(SimQueue, MouseInputIsRelativeToTheWindowAndCarriesTheButtonState) {
    win::HWND window = freshWindow(10, 20, 100, 100);
    win::UpdateWindow(window);
    received.clear();
    sim::pressAt(15, 27);
    sim::moveTo(16, 28);
    sim::releaseAt(17, 29);
    sim::moveTo(18, 30);
    sim::touch(500, 500); // off the window: lost
    sim::key(win::VK_TAB, true);
    pumpUntilQuit();
    ASSERT_EQ(messages(), (Messages{win::WM_LBUTTONDOWN, win::WM_MOUSEMOVE, win::WM_LBUTTONUP,
                                    win::WM_MOUSEMOVE, win::WM_KEYDOWN}));
    EXPECT_EQ(received[0].lParam, (7 << 16) | 5);
    EXPECT_EQ(received[0].wParam, 1u) << "MK_LBUTTON";
    EXPECT_EQ(received[1].wParam, 1u);
    EXPECT_EQ(received[2].wParam, 0u);
    EXPECT_EQ(received[3].wParam, 0u);
    EXPECT_EQ(received[4].lParam & (1 << 30), 1 << 30) << "auto-repeat bit";
}

TEST(SimQueue, ThenRunsBetweenInputEventsAfterThePaint) {
    win::HWND window = freshWindow();
    bool paintedFirst = false;
    sim::then([&] { paintedFirst = !sim::windowNeedsPaint() && messages().size() == 3; });
    sim::key('A');
    ASSERT_NE(window, nullptr);
    pumpUntilQuit();
    EXPECT_TRUE(paintedFirst);
}

TEST(SimWindow, DestroyingSendsKillFocusAndDestroyAndDropsQueuedMessages) {
    win::HWND window = freshWindow();
    win::ShowWindow(window, win::SW_SHOWDEFAULT);
    EXPECT_TRUE(sim::windowHasFocus());
    win::PostMessageA(window, win::WM_USER, 0, 0);
    received.clear();
    EXPECT_EQ(win::DestroyWindow(window), win::TRUE);
    EXPECT_EQ(messages(), (Messages{win::WM_KILLFOCUS, win::WM_DESTROY}));
    EXPECT_FALSE(sim::windowExists());
    EXPECT_EQ(win::DestroyWindow(window), win::FALSE);
    EXPECT_EQ(win::PostMessageA(window, win::WM_USER, 0, 0), win::FALSE);
    pumpUntilQuit();
    EXPECT_EQ(messages(), (Messages{win::WM_KILLFOCUS, win::WM_DESTROY}));
}

TEST(SimWindow, CloseThroughTheDefaultProcedureDestroysTheWindow) {
    win::HWND window = freshWindow();
    hook = [](win::HWND, win::UINT message, win::WPARAM, win::LPARAM) {
        if (message == win::WM_DESTROY)
            win::PostQuitMessage(0);
        return false;
    };
    ASSERT_NE(window, nullptr);
    sim::closeWindow();
    sim::key('A'); // not reached
    pumpUntilQuit();
    EXPECT_FALSE(sim::windowExists());
    EXPECT_FALSE(sim::starved());
    EXPECT_EQ(sim::callsNamed({"DefWindowProcA"}).back(), "DefWindowProcA 0002");
}

TEST(SimWindow, FocusOnFirstShowAndAroundFocusAway) {
    win::HWND window = freshWindow();
    win::ShowWindow(window, 4); // SW_SHOWNOACTIVATE
    EXPECT_FALSE(sim::windowHasFocus());
    win::ShowWindow(window, win::SW_SHOWDEFAULT);
    win::ShowWindow(window, win::SW_SHOWDEFAULT);
    EXPECT_EQ(messages(), (Messages{win::WM_CREATE, win::WM_SETFOCUS})) << "once";
    EXPECT_EQ(sim::shownWith(), win::SW_SHOWDEFAULT);
    received.clear();
    sim::focusAway();
    pumpUntilQuit();
    EXPECT_EQ(messages(),
              (Messages{win::WM_PAINT, win::WM_ERASEBKGND, win::WM_KILLFOCUS, win::WM_SETFOCUS}));
}

TEST(SimPaint, BeginPaintSendsEraseBackgroundOnlyWhenAsked) {
    win::HWND window = freshWindow(0, 0, 20, 20);
    win::UpdateWindow(window);
    win::HDC dc = win::GetDC(window);
    win::SetPixel(dc, 2, 2, 0);
    win::SetPixel(dc, 12, 12, 0);
    win::ReleaseDC(window, dc);

    win::RECT corner = {0, 0, 5, 5};
    win::InvalidateRect(window, &corner, win::FALSE);
    win::PAINTSTRUCT paint;
    dc = win::BeginPaint(window, &paint);
    EXPECT_EQ(sim::pixel(2, 2), 0u) << "no erase was asked for";
    EXPECT_EQ(paint.rcPaint.right, 5);
    EXPECT_EQ(win::SetPixel(dc, 6, 6, 0xFF), 0xFFFFFFFFu) << "clipped to the invalid area";
    EXPECT_EQ(sim::openPaints(), 1);
    win::EndPaint(window, &paint);
    EXPECT_EQ(sim::openPaints(), 0);

    // Asked for: WM_ERASEBKGND with the paint's own context, which the default procedure
    // erases with the class brush.
    received.clear();
    win::InvalidateRect(window, &corner, win::TRUE);
    win::RECT middle = {10, 10, 11, 11};
    win::InvalidateRect(window, &middle, win::FALSE);
    dc = win::BeginPaint(window, &paint);
    win::EndPaint(window, &paint);
    ASSERT_EQ(messages(), Messages{win::WM_ERASEBKGND});
    EXPECT_EQ(received[0].wParam, reinterpret_cast<win::WPARAM>(dc));
    EXPECT_FALSE(paint.fErase);
    EXPECT_EQ(sim::pixel(2, 2), 0xFFFFFFu);
    EXPECT_EQ(sim::pixel(12, 12), 0u) << "outside the bounding rectangle of both";
    EXPECT_EQ(paint.rcPaint.left, 0);
    EXPECT_EQ(paint.rcPaint.bottom, 11);
    EXPECT_FALSE(sim::windowNeedsPaint());

    // A procedure that answers 0 leaves the erasing to the paint.
    hook = [](win::HWND, win::UINT message, win::WPARAM, win::LPARAM) {
        return message == win::WM_ERASEBKGND;
    };
    dc = win::GetDC(window);
    win::SetPixel(dc, 2, 2, 0);
    win::ReleaseDC(window, dc);
    win::InvalidateRect(window, &corner, win::TRUE);
    win::BeginPaint(window, &paint);
    win::EndPaint(window, &paint);
    EXPECT_TRUE(paint.fErase);
    EXPECT_EQ(sim::pixel(2, 2), 0u);
}

TEST(SimPaint, AProcedureThatNeverValidatesDoesNotHangTheLoop) {
    win::HWND window = freshWindow();
    hook = [](win::HWND, win::UINT message, win::WPARAM, win::LPARAM) {
        return message == win::WM_PAINT; // no BeginPaint
    };
    ASSERT_NE(window, nullptr);
    pumpUntilQuit();
    EXPECT_TRUE(sim::starved());
    EXPECT_FALSE(sim::errors().empty());
}

TEST(SimMessageBox, OwnerGetsPostedMessagesAndPaintsButNotTheUsersInput) {
    win::HWND window = freshWindow();
    win::ShowWindow(window, win::SW_SHOWDEFAULT);
    win::UpdateWindow(window);
    hook = [](win::HWND, win::UINT message, win::WPARAM, win::LPARAM) {
        if (message == win::WM_KILLFOCUS)
            win::ShowCursor(win::TRUE);
        return false;
    };
    received.clear();
    win::PostMessageA(window, win::WM_USER, 0, 0);
    win::InvalidateRect(window, nullptr, win::TRUE);
    Messages whileUp;
    sim::whileNextBoxIsUp([&whileUp] { whileUp = messages(); });
    // The owner is disabled: touches on it are lost, keys go to the box, and only Enter, Esc or
    // Space answer it. Other programs still post to the owner.
    sim::touch(10, 10);
    sim::key('A');
    sim::then([] { sim::postFromAnotherProgram(win::WM_USER + 1, 0, 0); });
    sim::key(win::VK_ESCAPE);
    sim::key('B'); // after the box: the program's own loop reads it

    EXPECT_EQ(win::MessageBoxA(window, "text", "caption", win::MB_OK), win::IDOK);
    // Disabled, the owner gives up its press or capture (WM_CANCELMODE) and its focus.
    EXPECT_EQ(whileUp, (Messages{win::WM_CANCELMODE, win::WM_KILLFOCUS, win::WM_USER, win::WM_PAINT,
                                 win::WM_ERASEBKGND}));
    EXPECT_EQ(messages(),
              (Messages{win::WM_CANCELMODE, win::WM_KILLFOCUS, win::WM_USER, win::WM_PAINT,
                        win::WM_ERASEBKGND, win::WM_USER + 1, win::WM_SETFOCUS}));
    EXPECT_EQ(sim::pendingInput(), 1u);
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::messageBoxes()[0].cursorCounterWhileUp, 1);
    EXPECT_EQ(sim::messageBoxes()[0].owner, window);
    EXPECT_EQ(sim::callsNamed({"MessageBoxA"}), std::vector<std::string>{"MessageBoxA caption"});
}

TEST(SimMessageBox, ClosingTheOwnerClosesItsBoxAndQuitEndsADialogsLoop) {
    win::HWND window = freshWindow();
    hook = [](win::HWND, win::UINT message, win::WPARAM, win::LPARAM) {
        if (message == win::WM_DESTROY)
            win::PostQuitMessage(4);
        return false;
    };
    sim::whileNextBoxIsUp([] { sim::postFromAnotherProgram(win::WM_CLOSE, 0, 0); });
    EXPECT_EQ(win::MessageBoxA(window, "text", "caption", win::MB_OK), 0) << "never answered";
    EXPECT_FALSE(sim::windowExists());

    // The quit of the destruction ends the next modal loop at once, and stays posted.
    sim::scriptDialog({sim::click(win::IDOK)});
    EXPECT_EQ(win::DialogBoxParamA(nullptr, "HosSetBoxE", nullptr, nullptr, 0), 0);
    EXPECT_EQ(sim::pendingDialogScripts(), 0u);
    EXPECT_EQ(pumpUntilQuit(), 4);
    EXPECT_FALSE(sim::starved());
    EXPECT_TRUE(sim::errors().empty());
}

TEST(SimMessageBox, TheWindowRepaintsJustTheAreaTheBoxUncovers) {
    win::HWND window = freshWindow(0, 0, 1024, 768);
    win::UpdateWindow(window);
    win::RECT box = {};
    sim::whileNextBoxIsUp([&] {
        box = sim::messageBoxes().back().rect;
        win::HDC dc = win::GetDC(window);
        win::SetPixel(dc, box.left, box.top, 0);
        win::SetPixel(dc, box.left - 1, box.top, 0);
        win::ReleaseDC(window, dc);
    });
    win::MessageBoxA(window, "text", "caption", win::MB_OK);
    EXPECT_EQ(box.left + box.right, 1024) << "centred";
    EXPECT_EQ(sim::pixel(box.left, box.top), sim::kFaceColour) << "not drawn under the box";
    EXPECT_EQ(sim::pixel(box.left - 1, box.top), 0u);
    ASSERT_TRUE(sim::windowNeedsPaint());
    pumpUntilQuit();
    const sim::Call* paint = nullptr;
    for (const sim::Call& call : sim::calls())
        if (call.name == "BeginPaint")
            paint = &call;
    ASSERT_NE(paint, nullptr);
    EXPECT_EQ((std::vector<std::int64_t>{paint->a, paint->b, paint->c, paint->d}),
              (std::vector<std::int64_t>{box.left, box.top, box.right, box.bottom}));
    EXPECT_EQ(sim::pixel(box.left, box.top), 0xFFFFFFu) << "erased by the repaint";
    EXPECT_EQ(sim::pixel(box.left - 1, box.top), 0u) << "outside the uncovered area";
}

TEST(SimWatch, SeesEveryMessageBeforeAndAfterWithItsNestingAndTheBoxesUp) {
    win::HWND window = freshWindow();
    win::ShowWindow(window, win::SW_SHOWDEFAULT);
    win::UpdateWindow(window);
    std::vector<sim::Delivery> seen;
    sim::watchWindowProcedure([&seen](const sim::Delivery& d) { seen.push_back(d); });
    hook = [](win::HWND w, win::UINT message, win::WPARAM, win::LPARAM) {
        if (message != win::WM_USER)
            return false;
        win::PostMessageA(w, win::WM_USER + 1, 0, 0);
        win::MessageBoxA(w, "text", "caption", win::MB_OK);
        return true;
    };
    win::PostMessageA(window, win::WM_USER, 0, 0);
    pumpUntilQuit();

    struct Seen {
        win::UINT message;
        int depth, modal;
        bool returned;
        bool operator==(const Seen& o) const {
            return message == o.message && depth == o.depth && modal == o.modal &&
                   returned == o.returned;
        }
    };
    std::vector<Seen> got;
    for (const sim::Delivery& d : seen)
        got.push_back(Seen{d.message, d.depth, d.modal, d.returned});
    // The box's focus messages, the regained focus included, come while the box's call lasts.
    EXPECT_EQ(got, (std::vector<Seen>{{win::WM_USER, 1, 0, false},
                                      {win::WM_CANCELMODE, 2, 1, false},
                                      {win::WM_CANCELMODE, 2, 1, true},
                                      {win::WM_KILLFOCUS, 2, 1, false},
                                      {win::WM_KILLFOCUS, 2, 1, true},
                                      {win::WM_USER + 1, 2, 1, false},
                                      {win::WM_USER + 1, 2, 1, true},
                                      {win::WM_SETFOCUS, 2, 1, false},
                                      {win::WM_SETFOCUS, 2, 1, true},
                                      {win::WM_USER, 1, 0, true}}));
}

TEST(SimProcess, ResetGivesAFreshProcess) {
    sim::Config config;
    config.cursorCounter = -2;
    config.screenWidth = 40;
    config.screenHeight = 30;
    win::HWND old = freshWindow();
    win::HDC dc = win::GetDC(old);
    win::SetPixel(dc, 1, 1, 0);
    sim::key('A');
    sim::reset(config);
    EXPECT_FALSE(sim::windowExists());
    EXPECT_TRUE(sim::calls().empty());
    EXPECT_EQ(sim::pendingInput(), 0u);
    EXPECT_EQ(sim::pixel(1, 1), 0xFFFFFFu);
    EXPECT_EQ(sim::pixel(40, 0), 0xFFFFFFFFu) << "off the new screen";
    EXPECT_EQ(sim::cursorCounter(), -2);
    EXPECT_EQ(sim::openDrawingContexts(), 0);
    EXPECT_EQ(win::GetSystemMetrics(win::SM_CXSCREEN), 40);
    EXPECT_EQ(win::SetPixel(dc, 1, 1, 0), 0xFFFFFFFFu) << "an old process's handle is stale";
}

TEST(SimRecords, CallsNamedFormats) {
    win::HWND window = freshWindow();
    win::HDC dc = win::GetDC(window);
    win::MessageBeep(0xFFFFFFFF);
    win::PostMessageA(window, win::WM_USER, 7, -1);
    win::SetPixel(dc, 3, 4, 0x0000FF);
    EXPECT_EQ(win::ShowCursor(win::FALSE), -1);
    win::ReleaseDC(window, dc);
    win::RECT r = {1, 2, 3, 4};
    win::InvalidateRect(window, &r, win::FALSE);
    win::InvalidateRect(window, nullptr, win::TRUE);
    EXPECT_EQ(sim::callsNamed(
                  {"MessageBeep", "PostMessageA", "SetPixel", "ShowCursor", "InvalidateRect"}),
              (std::vector<std::string>{"MessageBeep FFFFFFFF", "PostMessageA 0400 7 -1",
                                        "SetPixel 3 4 0000FF", "ShowCursor 0",
                                        "InvalidateRect 1 2 3 4 0", "InvalidateRect * 1"}));
    EXPECT_EQ(sim::calls().back().a, 1) << "erase";
}

} // namespace
