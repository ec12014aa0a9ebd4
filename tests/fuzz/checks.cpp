#include "checks.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

namespace {

constexpr win::COLORREF kRedMark = 0x0000FF;
constexpr win::COLORREF kBlueMark = 0xFF0000;
constexpr win::COLORREF kBlackPixel = 0x000000;
constexpr win::LPARAM kAutoRepeat = 1 << 30;

[[noreturn]] void fail(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::fputs("panelcal_fuzz: broken: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::abort();
}

// The calibration-area parameters for each panel size (rows, ids 10 to 13) and cable edge
// (columns, ids 30 to 33): xLow, xHigh, yLow, yHigh.
const int kAreaParameters[4][4][4] = {
    {{213, 3828, 278, 3817},
     {278, 3817, 267, 3882},
     {267, 3882, 278, 3817},
     {278, 3817, 213, 3828}},
    {{243, 3790, 316, 3779},
     {316, 3779, 305, 3852},
     {305, 3852, 316, 3779},
     {316, 3779, 243, 3790}},
    {{291, 3729, 374, 3721},
     {374, 3721, 366, 3804},
     {366, 3804, 374, 3721},
     {374, 3721, 291, 3729}},
    {{172, 3858, 243, 3817},
     {243, 3817, 237, 3923},
     {237, 3923, 278, 3852},
     {278, 3852, 172, 3858}},
};

// Where target i of the layout for a point-count id lies, in pixels.
win::POINT targetAt(int pointCountId, int index, const Screen& screen) {
    static const int kNine[] = {100, 2048, 3996};
    static const int kTwentyX[] = {100, 1074, 2048, 3022, 3996};
    static const int kTwentyY[] = {100, 1399, 2698, 3996};
    bool twenty = pointCountId == 21;
    int rows = twenty ? 4 : 3;
    const int* xs = twenty ? kTwentyX : kNine;
    const int* ys = twenty ? kTwentyY : kNine;
    return win::POINT{screen.width * xs[index / rows] / 4096,
                      screen.height * ys[index % rows] / 4096};
}

bool sameSettings(const CalibSettings& a, const CalibSettings& b) {
    return a.panelSizeId == b.panelSizeId && a.pointCountId == b.pointCountId &&
           a.cableDirId == b.cableDirId;
}

bool isMark(win::COLORREF c) {
    return c == kRedMark || c == kBlueMark;
}

bool acknowledged(const PanelRecord& r) {
    return !r.ioctlFailed && r.replyLength >= 3 && r.reply[0] == 0 &&
           (r.reply[1] == 0x90 || r.reply[1] == 0xD0) && r.reply[2] == 0;
}

bool isInputMessage(win::UINT message) {
    return (message >= 0x0100 && message <= 0x0109) || (message >= 0x0200 && message <= 0x020E);
}

bool isKeyZero(const sim::Delivery& d) {
    return d.message == win::WM_KEYDOWN && (d.wParam == '0' || d.wParam == win::VK_NUMPAD0) &&
           !(d.lParam & kAutoRepeat);
}

// What the runs of one process have reached, over all inputs: a replayed corpus must reach
// each of these at least once.
enum Milestone {
    DiagAcknowledged,
    CalInAcknowledged,
    PointAcknowledged,
    CalOutAcknowledged,
    BoxShown,
    DialogOk,
    DialogCancel,
    IgnoredWhileModal,
    kMilestoneCount
};
const char* const kMilestoneNames[kMilestoneCount] = {"an acknowledged DIAG",
                                                      "an acknowledged CAL-IN",
                                                      "an acknowledged CAL-POINT",
                                                      "an acknowledged CAL-OUT",
                                                      "a message box",
                                                      "the setup dialog's OK",
                                                      "the setup dialog's Cancel",
                                                      "input while a box or the dialog is up"};
long milestones[kMilestoneCount] = {};

} // namespace

// ---- the cursor by the program's rules ------------------------------------------------------

void Checks::CursorModel::show() {
    if (shown)
        return;
    shown = 1;
    counter += hideDepth;
    hideDepth = 0;
}

void Checks::CursorModel::hide() {
    if (!shown)
        return;
    shown = 0;
    if (counter >= -1) {
        hideDepth = counter + 1;
        counter = -1;
    } else {
        hideDepth = 0;
    }
}

int Checks::CursorModel::counterWhileShown() const {
    return shown ? counter : counter + hideDepth;
}

// ---- the run ----------------------------------------------------------------------------------

void Checks::start(const Screen& screen, int cursorCounter) {
    *this = Checks();
    trace_ = std::getenv("PANELCAL_FUZZ_TRACE") != nullptr;
    screen_ = screen;
    cursor_.counter = cursorCounter;
    settings_ = calibSettings;
    sim::watchWindowProcedure([this](const sim::Delivery& d) { onDelivery(d); });
    watchNextBox();
}

void Checks::onDelivery(const sim::Delivery& d) {
    follow();
    applyDialogOutcome();
    if (!d.returned) {
        Frame f{d.message,
                sim::openDrawingContexts(),
                sim::openPaints(),
                sim::openDeviceHandles(),
                sim::calls().size(),
                sim::messageBoxes().size(),
                requests_,
                false,
                {}};
        if (d.modal > 0 && (isInputMessage(d.message) || d.message == win::WM_USER)) {
            f.changesNothing = true;
            ++milestones[IgnoredWhileModal];
        } else if (d.message == win::WM_USER) {
            f.changesNothing = startsPosted_ == 0;
            startsPosted_ = 0;
        }
        if (f.changesNothing)
            f.globals = currentGlobals();
        // Boxes and the dialog leave the cursor and the screen as they were: only messages
        // outside them count.
        if (d.modal == 0) {
            if (d.message == win::WM_KEYDOWN && d.wParam == win::VK_TAB &&
                !(d.lParam & kAutoRepeat))
                cursor_.shown ? cursor_.hide() : cursor_.show();
            if (d.message == win::WM_SETFOCUS || d.message == win::WM_KILLFOCUS)
                cursor_.show();
            if (isInputMessage(d.message) && !inputHandled_) {
                inputHandled_ = true;
                if (!startDone_)
                    fail("input handled before the start sent DIAG and CAL-IN");
            }
            if (isKeyZero(d)) {
                testScreen_ = !testScreen_;
                target_ = 0;
                forgetPress();
            }
            if (d.message == win::WM_LBUTTONDOWN || d.message == win::WM_LBUTTONUP)
                pressed_ = d.message == win::WM_LBUTTONDOWN;
            if (d.message == win::WM_LBUTTONDOWN)
                pressOnCalibration_ = !testScreen_;
        }
        if (d.message == win::WM_CANCELMODE)
            forgetPress();
        frames_.push_back(f);
        return;
    }

    Frame f = frames_.back();
    frames_.pop_back();
    if (d.modal == 0 && d.message == win::WM_LBUTTONUP)
        pressOnCalibration_ = false; // its point has been sent, if any
    if (sim::openDrawingContexts() != f.drawingContexts || sim::openPaints() != f.paints)
        fail("message %04X returned with %d drawing contexts and %d paints open (%d, %d before)",
             d.message, sim::openDrawingContexts(), sim::openPaints(), f.drawingContexts, f.paints);
    if (sim::openDeviceHandles() != f.devices)
        fail("message %04X returned with a device handle open", d.message);
    if (f.changesNothing) {
        const char* what = d.modal > 0 ? "while a box or the dialog was up" : "that was not due";
        if (sim::calls().size() != f.calls)
            fail("message %04X %s made %zu calls, the first %s", d.message, what,
                 sim::calls().size() - f.calls, std::string(sim::calls()[f.calls].name).c_str());
        if (requests_ != f.requests || sim::messageBoxes().size() != f.boxes)
            fail("message %04X %s sent a request or showed a box", d.message, what);
        if (!sameGlobals(currentGlobals(), f.globals))
            fail("message %04X %s changed the program's state", d.message, what);
    }
    if (d.message == win::WM_DESTROY) {
        int opens = 0;
        for (std::size_t i = f.calls; i < sim::calls().size(); ++i)
            opens += sim::calls()[i].name == "CreateFileA" ? 1 : 0;
        unsigned long long sent = requests_ - f.requests;
        bool absent = !sim::config().devicePresent || sim::controller().script.deviceAbsent;
        if (opens != 1 || sent != (absent ? 0u : 1u) || (sent == 1 && lastRequest_ != 0x80))
            fail("destruction must send one CAL-ABORT and nothing else (%d opens, %llu sent)",
                 opens, sent);
        destroyed_ = true;
    }
    if (d.depth == 1 && d.modal == 0)
        checkCursor("after a message");
}

void Checks::forgetPress() {
    pressed_ = false;
    pressOnCalibration_ = false;
}

void Checks::watchNextBox() {
    sim::whileNextBoxIsUp([this] {
        ++milestones[BoxShown];
        if (trace_)
            std::fprintf(stderr, "  box     %s\n", sim::messageBoxes().back().caption.c_str());
        checkWhileModal("message box");
        watchNextBox();
    });
}

void Checks::checkWhileModal(const char* what) const {
    if (cursorVisibility.cursorShown != 1)
        fail("the cursor is not shown while a %s is up", what);
    if (sim::cursorCounter() != cursor_.counterWhileShown())
        fail("cursor counter %d while a %s is up, %d expected", sim::cursorCounter(), what,
             cursor_.counterWhileShown());
}

// The program's calls since the last look, in order: its own start requests (a WM_USER is due
// once one is posted), and its exchanges with the controller. An opening of the device is
// followed at once by the device-control call whose request the controller records; an
// opening without one found no device, and its command never reached the controller. The
// records are taken out of the controller model, so that a long run never fills them.
void Checks::follow() {
    const std::vector<sim::Call>& calls = sim::calls();
    PanelModel& model = sim::controller();
    if (model.recordCount > PM_MAX_RECORDS)
        fail("requests went unrecorded");
    unsigned taken = 0;
    for (; callsScanned_ < calls.size(); ++callsScanned_) {
        const sim::Call& c = calls[callsScanned_];
        if (c.a == win::WM_USER && c.name == "PostMessageA") {
            ++startsPosted_;
        } else if (c.name == "DeviceIoControl") {
            if (taken == model.recordCount)
                fail("a device-control call that the controller did not get");
            checkRequest(model.records[taken++]);
        } else if (c.name == "CreateFileA" &&
                   (callsScanned_ + 1 == calls.size() ||
                    calls[callsScanned_ + 1].name != "DeviceIoControl")) {
            lostCommand();
        }
    }
    if (taken != model.recordCount)
        fail("the controller got a request without a device-control call");
    requests_ += taken;
    model.recordCount = 0;
}

// A command that found no device: from here the controller's calibration and the program's
// may part ways (when the CAL-ABORT and CAL-IN after new settings are lost, the controller
// stays in the old calibration while the targets start again for the new one), so points
// are no longer counted until the next acknowledged CAL-IN.
void Checks::lostCommand() {
    if (trace_)
        std::fprintf(stderr, "  request (no device)\n");
    calibrating_ = false;
}

void Checks::checkRequest(const PanelRecord& r) {
    const unsigned char* b = r.bytes;
    unsigned char code = r.length ? b[0] : 0;
    bool ok = acknowledged(r);
    if (trace_) {
        char text[3 * PM_MAX_REQUEST + 1];
        pm_format_hex(b, r.length < PM_MAX_REQUEST ? r.length : PM_MAX_REQUEST, text);
        std::fprintf(stderr, "  request %-30s %s%s\n", text, ok ? "acknowledged" : "refused",
                     destroyed_ ? " (window destroyed)" : "");
    }
    if (destroyed_ && !(code == 0x80 && r.length == 1))
        fail("request %02X after the window was destroyed", code);
    startDone_ = startDone_ || (code == 0x84 && ok && lastRequest_ == 0x89 && diagAcknowledged_);
    switch (code) {
    case 0x89:
        if (r.length != 2 || b[1] != 0)
            fail("DIAG of %u bytes", r.length);
        if (diagAcknowledged_)
            fail("DIAG again after it was acknowledged");
        diagAcknowledged_ = ok;
        milestones[DiagAcknowledged] += ok;
        break;
    case 0x84: {
        unsigned char grid = settings_.pointCountId == 21 ? 0x25 : 0x1B;
        const int* p = kAreaParameters[settings_.panelSizeId - 10][settings_.cableDirId - 30];
        unsigned char expected[10] = {0x84, grid};
        for (int i = 0; i < 4; ++i) {
            expected[2 + 2 * i] = static_cast<unsigned char>(p[i] % 128);
            expected[3 + 2 * i] = static_cast<unsigned char>(p[i] / 128);
        }
        if (r.length != 10)
            fail("CAL-IN of %u bytes", r.length);
        for (int i = 0; i < 10; ++i)
            if (b[i] != expected[i])
                fail("CAL-IN byte %d is %02X, %02X for settings %d %d %d", i, b[i], expected[i],
                     settings_.panelSizeId, settings_.pointCountId, settings_.cableDirId);
        calibrating_ = ok;
        targets_ = grid == 0x25 ? 20 : 9;
        points_ = 0;
        milestones[CalInAcknowledged] += ok;
        break;
    }
    case 0x86:
        if (r.length != 1)
            fail("CAL-POINT of %u bytes", r.length);
        if (!pressOnCalibration_)
            fail("CAL-POINT without a press that the window saw on the calibration screen");
        if (calibrating_ && ok && ++points_ > targets_)
            fail("acknowledged CAL-POINT %d of a calibration with %d targets", points_, targets_);
        target_ += ok;
        milestones[PointAcknowledged] += ok;
        break;
    case 0x85:
        if (r.length != 5 || b[1] != 0 || b[2] != 0x20 || b[3] != 0 || b[4] != 0x20)
            fail("CAL-OUT of %u bytes, not 85 00 20 00 20", r.length);
        if (calibrating_ && points_ != targets_)
            fail("CAL-OUT after %d acknowledged points of %d targets", points_, targets_);
        // A refused CAL-OUT leaves the controller in its calibration, with every point taken.
        calibrating_ = calibrating_ && !ok;
        testScreen_ = testScreen_ || ok;
        milestones[CalOutAcknowledged] += ok;
        break;
    case 0x80:
        if (r.length != 1)
            fail("CAL-ABORT of %u bytes", r.length);
        calibrating_ = false;
        break;
    default:
        fail("request %02X of %u bytes is none of the five commands", code, r.length);
    }
    lastRequest_ = code;
}

// Once the setup dialog has ended: OK has committed the user's choices and starts the targets
// again from the first; Cancel changes nothing.
void Checks::applyDialogOutcome() {
    if (!dialog_.active || sim::dialogs().size() <= dialog_.index ||
        !sim::dialogs()[dialog_.index].ended)
        return;
    dialog_.active = false;
    if (sim::dialogs()[dialog_.index].result != (dialog_.ok ? 1 : 0))
        fail("the setup dialog ended with %d after %s", int(sim::dialogs()[dialog_.index].result),
             dialog_.ok ? "OK" : "Cancel");
    ++milestones[dialog_.ok ? DialogOk : DialogCancel];
    if (!dialog_.ok)
        return;
    settings_ = dialog_.chosen;
    points_ = 0;
    target_ = 0;
    forgetPress();
}

// Made just before key 1 is pressed: the choices the clicks make start from the settings now.
std::vector<sim::DialogAction> Checks::dialogScript(const DialogPlan& plan) {
    dialogExpected_ = true;
    CalibSettings chosen = settings_;
    for (const DialogMove& m : plan.moves)
        if (m.kind == DialogMove::Click || m.kind == DialogMove::DoubleClick) {
            int radio = radioOf(m);
            (radio < 20   ? chosen.panelSizeId
             : radio < 30 ? chosen.pointCountId
                          : chosen.cableDirId) = radio;
        }
    std::vector<sim::DialogAction> actions;
    actions.push_back(sim::inspect([this, chosen](const sim::OpenDialog& d) {
        dialogExpected_ = false;
        checkWhileModal("setup dialog");
        dialog_ = PendingDialog{true, sim::dialogs().size() - 1, false, chosen};
        std::vector<int> shown = {settings_.panelSizeId, settings_.pointCountId,
                                  settings_.cableDirId};
        if (d.checkedIds() != shown)
            fail("the setup dialog opens without the current choices checked");
        if (d.focusId != settings_.panelSizeId)
            fail("the setup dialog opens with the focus on %d", d.focusId);
    }));
    for (const DialogMove& m : plan.moves) {
        int radio = radioOf(m);
        switch (m.kind) {
        case DialogMove::Click:
            actions.push_back(sim::click(radio));
            break;
        case DialogMove::DoubleClick:
            actions.push_back(sim::doubleClick(radio));
            break;
        case DialogMove::Tab:
            actions.push_back(sim::dialogKey(win::VK_TAB));
            break;
        default:
            actions.push_back(
                sim::inspect([value = m.value, screen = screen_](const sim::OpenDialog&) {
                    if (value == 1)
                        sim::postFromAnotherProgram(win::WM_USER, 0, 0);
                    else if (value == 2)
                        sim::windowPassesOver(win::RECT{0, 0, 4096, 4096});
                    else if (value >= kElsewherePost)
                        postInput(screen, value - kElsewherePost);
                }));
            break;
        }
    }
    DialogEnd end = plan.end;
    actions.push_back(sim::inspect([this, end](const sim::OpenDialog& d) {
        const CalibSettings& c = dialog_.chosen;
        if (d.checkedIds() != std::vector<int>{c.panelSizeId, c.pointCountId, c.cableDirId})
            fail("the setup dialog does not show the choices clicked");
        // Enter chooses the focused push button, else the default one, OK.
        dialog_.ok = end == DialogEnd::ClickOk || end == DialogEnd::DoubleClickOk ||
                     (end == DialogEnd::Enter && d.focusId != win::IDCANCEL);
    }));
    switch (end) {
    case DialogEnd::ClickOk:
        actions.push_back(sim::click(win::IDOK));
        break;
    case DialogEnd::DoubleClickOk:
        actions.push_back(sim::doubleClick(win::IDOK));
        break;
    case DialogEnd::ClickCancel:
        actions.push_back(sim::click(win::IDCANCEL));
        break;
    case DialogEnd::Enter:
        actions.push_back(sim::dialogKey(win::VK_RETURN));
        break;
    default:
        actions.push_back(sim::dialogKey(win::VK_ESCAPE));
        break;
    }
    return actions;
}

// ---- between steps and at the end ---------------------------------------------------------

void Checks::checkCursor(const char* when) const {
    if (cursorVisibility.cursorShown != cursor_.shown ||
        cursorVisibility.hideDepth != cursor_.hideDepth || sim::cursorCounter() != cursor_.counter)
        fail("cursor %s: shown %d depth %d counter %d, expected %d %d %d", when,
             cursorVisibility.cursorShown, cursorVisibility.hideDepth, sim::cursorCounter(),
             cursor_.shown, cursor_.hideDepth, cursor_.counter);
}

// Nothing left open between messages, nothing the simulation noticed, nothing drawn outside
// the window.
void Checks::checkQuiet(const char* when) const {
    if (!frames_.empty())
        fail("%s inside a message", when);
    if (sim::openDrawingContexts() || sim::openPaints() || sim::openDeviceHandles())
        fail("%s: %d drawing contexts, %d paints, %d device handles open", when,
             sim::openDrawingContexts(), sim::openPaints(), sim::openDeviceHandles());
    if (!sim::errors().empty())
        fail("%s: the simulation noticed: %s", when, sim::errors().front().c_str());
    if (sim::pixelsDrawnOutsideWindow() != 0)
        fail("%s: %lld pixels drawn outside the window", when, sim::pixelsDrawnOutsideWindow());
    checkCursor(when);
    if (!sameSettings(calibSettings, settings_))
        fail("%s: settings %d %d %d, the dialog gave %d %d %d", when, calibSettings.panelSizeId,
             calibSettings.pointCountId, calibSettings.cableDirId, settings_.panelSizeId,
             settings_.pointCountId, settings_.cableDirId);
}

// What the screen shows once painted: on the calibration screen the current target and no
// other mark, on the test screen no mark and the separator across the whole width. Marks are
// looked for at the centres of the targets of both layouts, other than those under the
// current target's own mark.
void Checks::checkScreen() const {
    int lineHeight = screen_.textHeight + screen_.externalLeading;
    if (calibState.testScreen != int(testScreen_))
        fail("the %s screen is up, the other one expected", testScreen_ ? "calibration" : "test");
    int total = settings_.pointCountId == 21 ? 20 : 9;
    if (!testScreen_ && target_ >= total)
        fail("target %d of %d on the calibration screen", target_, total);
    win::POINT current =
        testScreen_ ? win::POINT{-100, -100} : targetAt(settings_.pointCountId, target_, screen_);
    win::COLORREF shown = sim::pixel(current.x, current.y);
    if (!testScreen_ && shown != kRedMark && !(pressed_ && shown == kBlueMark))
        fail("target %d at %ld, %ld shows %06X%s", target_, long(current.x), long(current.y), shown,
             pressed_ ? "" : ", with no press in the window");
    for (int layout : {20, 21})
        for (int i = 0; i < (layout == 21 ? 20 : 9); ++i) {
            win::POINT p = targetAt(layout, i, screen_);
            long dx = std::labs(long(p.x - current.x)), dy = std::labs(long(p.y - current.y));
            bool underCurrent = (dx <= 1 && dy <= 12) || (dy <= 1 && dx <= 12);
            if (!underCurrent && isMark(sim::pixel(p.x, p.y)))
                fail("a mark at %ld, %ld on the %s screen, target %d current", long(p.x), long(p.y),
                     testScreen_ ? "test" : "calibration", target_);
        }
    if (!testScreen_)
        return;
    int row = calibState.barAtTop ? lineHeight + 1 : screen_.height - lineHeight - 1;
    if (row >= 0 && row < screen_.height)
        for (int x = 0; x < screen_.width; ++x)
            if (sim::pixel(x, row) != kBlackPixel)
                fail("the separator is missing at %d, %d", x, row);
}

void Checks::stepDone() {
    follow();
    applyDialogOutcome();
    if (!frames_.empty())
        return; // the step's input went to a box that is still up; checked once it is gone
    if (dialogExpected_)
        fail("key 1 on the calibration screen did not open the setup dialog");
    checkQuiet("after a step");
    if (sim::windowExists() && !sim::windowNeedsPaint())
        checkScreen();
}

void Checks::runDone(int exitCode) {
    follow();
    applyDialogOutcome();
    if (exitCode != 0)
        fail("exit code %d", exitCode);
    bool absent = !sim::config().devicePresent || sim::controller().script.deviceAbsent;
    if (requests_ != 0 && !absent && lastRequest_ != 0x80)
        fail("the run ended with request %02X, not CAL-ABORT", lastRequest_);
    if (sim::windowExists() || sim::starved())
        fail("the input's ending did not end the program");
    if (!destroyed_)
        fail("the program ended without WM_DESTROY");
    if (sim::pendingDialogScripts() != 0 || dialogExpected_)
        fail("a setup dialog that key 1 should have opened");
    checkQuiet("at the end");
    if (trace_)
        std::fprintf(stderr, "  end     %zu dialogs, %zu inputs left\n", sim::dialogs().size(),
                     sim::pendingInput());
}

int Checks::milestonesMissed() {
    int missed = 0;
    for (int m = 0; m < kMilestoneCount; ++m)
        if (milestones[m] == 0) {
            std::fprintf(stderr, "panelcal_fuzz: no run reached %s\n", kMilestoneNames[m]);
            ++missed;
        }
    return missed;
}

void postInput(const Screen& screen, int which) {
    const Posted& p = kPosted[which % kPostedCount];
    if (p.message == win::WM_KEYDOWN) {
        sim::postFromAnotherProgram(win::WM_KEYDOWN, static_cast<win::WPARAM>(p.key), 1);
        return;
    }
    win::WPARAM buttons = p.message == win::WM_LBUTTONUP ? 0 : 1; // MK_LBUTTON while down
    win::LPARAM middle = ((screen.height / 2) << 16) | (screen.width / 2);
    sim::postFromAnotherProgram(p.message, buttons, middle);
}

} // namespace fuzz
