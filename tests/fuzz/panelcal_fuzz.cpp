// The fuzz target: one input is one run of the program on the simulated Windows, from
// start-up to exit, with the input's steps as the user's doings, other programs' and the
// controller's; Checks watches every property on the way.
#include "checks.h"
#include "fuzz_input.h"

#include "calib/controller.h"
#include "platform/host/sim.h"
#include "program_state.h"

#include <cstddef>
#include <cstdint>

namespace {

fuzz::Checks checks;

sim::Config configFor(const fuzz::Setup& setup) {
    fuzz::Screen screen = fuzz::screenOf(setup);
    sim::Config config;
    config.screenWidth = screen.width;
    config.screenHeight = screen.height;
    config.desktopWidth = screen.width + fuzz::kDesktopMargin;
    config.desktopHeight = screen.height + fuzz::kDesktopMargin;
    config.charWidth = screen.charWidth;
    config.textHeight = screen.textHeight;
    config.externalLeading = screen.externalLeading;
    config.hasLanguageValue = setup.english;
    config.language = "ENU";
    config.cursorCounter = setup.cursorCounter;
    config.callText = false; // the checks read the calls' names and numbers only
    return config;
}

void change(const fuzz::ControllerChange& c) {
    static const int kRefused[] = {PM_REFUSE_NONE, PM_REFUSE_ALL,    PM_CMD_ABORT, PM_CMD_CAL_IN,
                                   PM_CMD_CAL_OUT, PM_CMD_CAL_POINT, PM_CMD_DIAG,  0x42};
    static const int kCut[] = {PM_REFUSE_ALL,  PM_CMD_ABORT,     PM_CMD_CAL_IN,
                               PM_CMD_CAL_OUT, PM_CMD_CAL_POINT, PM_CMD_DIAG};
    PanelScript& s = sim::controller().script;
    switch (c.field) {
    case fuzz::ControllerChange::AckCode:
        s.ackCode = (c.value & 1) ? 0xD0 : 0x90;
        break;
    case fuzz::ControllerChange::Refuse:
        s.refuseCommand = kRefused[c.value % 8];
        s.refuseOccurrence = c.value / 8 % 16;
        break;
    case fuzz::ControllerChange::RefuseCode:
        s.refuseCode = c.value;
        break;
    case fuzz::ControllerChange::DiagError:
        s.diagErrorCode = c.value;
        break;
    case fuzz::ControllerChange::FailIoctl:
        s.failIoctl = c.value & 1;
        break;
    case fuzz::ControllerChange::ReplyMode:
        s.replyMode = c.value % 4;
        break;
    case fuzz::ControllerChange::CutWhich:
        s.cutCommand = kCut[c.value % 6];
        s.cutOccurrence = c.value / 6 % 8;
        break;
    case fuzz::ControllerChange::CutAfter:
        s.cutAfter = c.value % 21u;
        break;
    case fuzz::ControllerChange::DeviceAbsent:
        s.deviceAbsent = c.value & 1;
        break;
    default:
        pm_default_script(&s);
        break;
    }
}

void whileBoxUp(const fuzz::BoxAction& action, const fuzz::Screen& screen) {
    sim::whileNextBoxIsUp([action, screen] {
        switch (action.kind) {
        case fuzz::BoxAction::PostStart:
            sim::postFromAnotherProgram(win::WM_USER, 0, 0);
            break;
        case fuzz::BoxAction::PostClose:
            sim::postFromAnotherProgram(win::WM_CLOSE, 0, 0);
            break;
        case fuzz::BoxAction::PassOver:
            sim::windowPassesOver(win::RECT{0, 0, 4096, 4096});
            break;
        case fuzz::BoxAction::PostInput:
            fuzz::postInput(screen, action.input.which);
            break;
        default:
            change(action.change);
            break;
        }
    });
}

// The key 1 opens the setup dialog on the calibration screen; its script is given just
// before, so that a key that opens nothing leaves no script behind for a later dialog. While a
// box is up the key goes to the box.
void pressKey(const fuzz::Step& step) {
    bool setupKey = (step.key == '1' || step.key == win::VK_NUMPAD1) && !step.autoRepeat;
    if (setupKey)
        sim::then([plan = step.dialog] {
            if (sim::windowExists() && calibState.testScreen == 0 && !sim::modalWindowUp())
                sim::scriptDialog(checks.dialogScript(plan));
        });
    sim::key(step.key, step.autoRepeat);
}

void scriptInput(const fuzz::Step& step, const fuzz::Screen& screen) {
    switch (step.kind) {
    case fuzz::Step::Key:
        pressKey(step);
        break;
    case fuzz::Step::Press:
        sim::pressAt(step.x, step.y);
        break;
    case fuzz::Step::Move:
        sim::moveTo(step.x, step.y);
        break;
    case fuzz::Step::Release:
        sim::releaseAt(step.x, step.y);
        break;
    case fuzz::Step::Touch:
        sim::touch(step.x, step.y);
        break;
    case fuzz::Step::RawMouse:
        sim::then([step] { sim::postFromAnotherProgram(step.message, step.wParam, step.lParam); });
        break;
    case fuzz::Step::FocusAway:
        sim::focusAway();
        break;
    case fuzz::Step::Close:
        sim::closeWindow();
        break;
    case fuzz::Step::ForeignStart:
        sim::then([step] { sim::postFromAnotherProgram(win::WM_USER, step.wParam, 0); });
        break;
    case fuzz::Step::PassOver:
        sim::then([step] { sim::windowPassesOver(win::RECT{step.x, step.y, step.x1, step.y1}); });
        break;
    case fuzz::Step::Controller:
        sim::then([c = step.change] { change(c); });
        break;
    case fuzz::Step::WhileBoxUp:
        whileBoxUp(step.box, screen);
        break;
    case fuzz::Step::Touches:
        for (int i = 0; i < step.count; ++i)
            sim::touch(screen.width / 2, screen.height / 2);
        break;
    default:
        break;
    }
}

void scriptStep(const fuzz::Step& step, const fuzz::Screen& screen) {
    auto script = [&] {
        scriptInput(step, screen);
        sim::then([] { checks.stepDone(); });
    };
    if (step.rushed)
        sim::rushed(script);
    else
        script();
}

// A box may still be up when the input ends: Space answers it first (and does nothing when
// none is), since keys go to the box while it is up.
void scriptEnding(fuzz::Ending ending) {
    sim::key(0x20);
    switch (ending) {
    case fuzz::Ending::EscThenEnter:
        sim::key(win::VK_ESCAPE);
        sim::key(win::VK_RETURN);
        break;
    case fuzz::Ending::EnterThenEsc:
        sim::key(win::VK_RETURN);
        sim::key(win::VK_ESCAPE);
        break;
    default:
        sim::closeWindow();
        break;
    }
}

} // namespace

// A run allocates many small blocks (the simulation's record of calls): a smaller quarantine
// of freed memory and shorter allocation stacks keep it fast; a report still names both.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16:malloc_context_size=16";
}

// The replay of a corpus (replay_main.cpp) asks, once every input has run, whether the runs
// reached what a corpus must reach.
int fuzzReplayMilestonesMissed() {
    return fuzz::Checks::milestonesMissed();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input = fuzz::decode(data, size);
    fuzz::Screen screen = fuzz::screenOf(input.setup);
    startFreshProcess(configFor(input.setup));
    for (const fuzz::ControllerChange& c : input.atStart)
        change(c);
    checks.start(screen, input.setup.cursorCounter);
    for (const fuzz::Step& step : input.steps)
        scriptStep(step, screen);
    scriptEnding(input.setup.ending);
    checks.runDone(sim::runToExit());
    return 0;
}
