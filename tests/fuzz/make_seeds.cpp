// Writes the seed corpus: short runs that each reach a part of the program's behaviour, as
// fuzz inputs. Usage: panelcal_fuzz_seeds DIR (the checked-in seeds are in tests/fuzz/corpus).
#include "fuzz_input.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace fuzz;

Step step(Step::Kind kind, bool rushed = false) {
    Step s{};
    s.kind = kind;
    s.rushed = rushed;
    return s;
}

Step key(int vk, bool rushed = false) {
    Step s = step(Step::Key, rushed);
    s.key = vk;
    return s;
}

Step repeatedKey(int vk) {
    Step s = key(vk);
    s.autoRepeat = true;
    return s;
}

// Key 1 and what the user does in the setup dialog.
Step setup(std::vector<DialogMove> moves, DialogEnd end) {
    Step s = key('1');
    s.dialog.moves = std::move(moves);
    s.dialog.end = end;
    return s;
}

DialogMove click(int radio, bool twice = false) {
    std::uint8_t index = 0;
    while (kRadios[index] != radio)
        ++index;
    return DialogMove{twice ? DialogMove::DoubleClick : DialogMove::Click, index};
}

Step mouse(Step::Kind kind, int x, int y, bool rushed = false) {
    Step s = step(kind, rushed);
    s.x = x;
    s.y = y;
    return s;
}

Step touches(int count, bool rushed = false) {
    Step s = step(Step::Touches, rushed);
    s.count = count;
    return s;
}

Step raw(unsigned message, std::uintptr_t buttons, std::intptr_t lParam) {
    Step s = step(Step::RawMouse);
    s.message = message;
    s.wParam = buttons;
    s.lParam = lParam;
    return s;
}

ControllerChange set(ControllerChange::Field field, std::uint8_t value) {
    return ControllerChange{field, value};
}

Step controller(ControllerChange::Field field, std::uint8_t value) {
    Step s = step(Step::Controller);
    s.change = set(field, value);
    return s;
}

Step whileBoxUp(BoxAction::Kind kind) {
    Step s = step(Step::WhileBoxUp);
    s.box.kind = kind;
    return s;
}

// Another program posts kPosted[which] while the next box is up.
Step postedWhileBoxUp(int which) {
    Step s = whileBoxUp(BoxAction::PostInput);
    s.box.input.which = static_cast<std::uint8_t>(which);
    return s;
}

// Another program posts kPosted[which] while the setup dialog is up.
DialogMove postedInDialog(int which) {
    return DialogMove{DialogMove::Elsewhere, static_cast<std::uint8_t>(kElsewherePost + which)};
}

// Indices into kPosted.
constexpr int kPostedPress = 0, kPostedRelease = 2, kPostedKeyZero = 3, kPostedKeyOne = 4;

// Values of ControllerChange::Refuse: command (index into none, all, 80, 84, 85, 86, 89, an
// unknown one) and occurrence (0: every one).
std::uint8_t refuse(int command, int occurrence = 0) {
    return static_cast<std::uint8_t>(command + 8 * occurrence);
}
constexpr int kCalIn = 3, kCalOut = 4, kCalPoint = 5;

Input run(std::vector<Step> steps, Ending ending = Ending::EscThenEnter,
          std::vector<ControllerChange> atStart = {}) {
    Input in;
    in.setup.ending = ending;
    in.atStart = std::move(atStart);
    in.steps = std::move(steps);
    return in;
}

struct Seed {
    const char* name;
    Input input;
};

std::vector<Seed> seeds() {
    std::vector<Seed> out;
    out.push_back({"default-run", run({touches(9)})});
    out.push_back(
        {"twenty-points", run({setup({click(21)}, DialogEnd::ClickOk), touches(20), key(0x2E)},
                              Ending::EnterThenEsc)});
    out.push_back(
        {"setup-choices",
         run({setup({click(10), click(12, true), click(32), DialogMove{DialogMove::Tab, 0}},
                    DialogEnd::Enter),
              touches(4), setup({click(11), click(33), click(21)}, DialogEnd::Esc),
              setup({click(20)}, DialogEnd::DoubleClickOk), touches(9)})});
    out.push_back({"point-refused", run({touches(10)}, Ending::EscThenEnter,
                                        {set(ControllerChange::Refuse, refuse(kCalPoint, 2))})});
    out.push_back({"calin-refused-after-setup",
                   run({touches(2), controller(ControllerChange::Refuse, refuse(kCalIn, 2)),
                        setup({click(13)}, DialogEnd::ClickOk), key(0x0D), touches(9)})});
    out.push_back(
        {"diag-error", run({}, Ending::EscThenEnter, {set(ControllerChange::DiagError, 12)})});
    out.push_back({"cut-replies",
                   run({touches(3), controller(ControllerChange::CutAfter, 20), touches(9)},
                       Ending::EscThenEnter,
                       {set(ControllerChange::ReplyMode, 1), set(ControllerChange::CutWhich, 4),
                        set(ControllerChange::CutAfter, 2)})});
    out.push_back(
        {"garbage-and-failed-calls",
         run({touches(2), controller(ControllerChange::ReplyMode, 2), touches(1),
              controller(ControllerChange::Defaults, 0), controller(ControllerChange::FailIoctl, 1),
              touches(1), controller(ControllerChange::FailIoctl, 0), touches(9)})});
    out.push_back({"device-absent", run({touches(1)}, Ending::EscThenEnter,
                                        {set(ControllerChange::DeviceAbsent, 1)})});
    out.push_back({"device-lost-mid-run",
                   run({touches(3), controller(ControllerChange::DeviceAbsent, 1), touches(6)})});
    out.push_back({"setup-while-device-absent",
                   run({touches(3), controller(ControllerChange::DeviceAbsent, 1),
                        setup({click(21)}, DialogEnd::ClickOk), key(0x0D),
                        controller(ControllerChange::DeviceAbsent, 0), touches(20)})});
    out.push_back(
        {"test-screen-strokes",
         run({touches(9), mouse(Step::Press, 10, 10), mouse(Step::Move, 30, 20),
              mouse(Step::Move, 50, 12), mouse(Step::Release, 50, 12), mouse(Step::Press, 20, 40),
              mouse(Step::Move, 25, 25), mouse(Step::Release, 25, 25), raw(0x0201, 1, 0x0010FFFF),
              raw(0x0200, 1, -1), raw(0x0202, 0, 0xFFFF0020), key(0x2E), mouse(Step::Press, 10, 5),
              mouse(Step::Move, 10, 30), mouse(Step::Release, 70, 60), key('0'), key(0x60),
              key(0x2E)},
             Ending::EnterThenEsc)});
    out.push_back(
        {"boxes-with-other-programs",
         run({whileBoxUp(BoxAction::PostStart), whileBoxUp(BoxAction::PassOver), touches(9)},
             Ending::EscThenEnter, {set(ControllerChange::Refuse, refuse(kCalOut))})});
    out.push_back({"closed-while-calout-box-up",
                   run({whileBoxUp(BoxAction::PostClose), touches(9)}, Ending::EscThenEnter,
                       {set(ControllerChange::Refuse, refuse(kCalOut))})});
    out.push_back(
        {"input-posted-under-the-calout-box",
         run({postedWhileBoxUp(kPostedPress), postedWhileBoxUp(kPostedRelease),
              postedWhileBoxUp(kPostedKeyOne), postedWhileBoxUp(kPostedKeyZero), touches(9)},
             Ending::EscThenEnter, {set(ControllerChange::Refuse, refuse(kCalOut))})});
    out.push_back({"input-posted-under-the-diag-box",
                   run({postedWhileBoxUp(kPostedPress), postedWhileBoxUp(kPostedRelease)},
                       Ending::EscThenEnter, {set(ControllerChange::DiagError, 17)})});
    out.push_back({"input-posted-under-the-dialog",
                   run({touches(2),
                        setup({postedInDialog(kPostedPress), postedInDialog(kPostedRelease),
                               postedInDialog(kPostedKeyOne), postedInDialog(kPostedKeyZero)},
                              DialogEnd::ClickCancel),
                        touches(7)})});
    out.push_back(
        {"cancel-keeps-the-targets",
         run({touches(4), setup({click(21)}, DialogEnd::ClickCancel), touches(5), key(0x0D)})});
    out.push_back({"input-queued-before-the-calout-box",
                   run({touches(8), touches(1), touches(2, true), key('1', true), key(0x20, true),
                        key('0', true)},
                       Ending::EscThenEnter, {set(ControllerChange::Refuse, refuse(kCalOut))})});
    Input cursor = run({key(0x09), step(Step::FocusAway), key(0x09), repeatedKey(0x09), key(0x09),
                        setup({}, DialogEnd::ClickCancel), key('0'),
                        controller(ControllerChange::Refuse, refuse(kCalIn)), key('0')});
    cursor.setup.cursorCounter = 2;
    out.push_back({"cursor-tab-focus-boxes", cursor});
    Step foreign = step(Step::ForeignStart);
    out.push_back({"foreign-start-requests",
                   run({foreign, touches(2), foreign, setup({}, DialogEnd::ClickOk),
                        touches(1, true), foreign, touches(7), foreign, key('0'), foreign},
                       Ending::Close)});
    Input english = run({setup({click(21), click(31)}, DialogEnd::ClickOk),
                         mouse(Step::Touch, 30, 30, true), key(0x09, true), key('0', true),
                         step(Step::PassOver), key('1', true), key(0x1B, true)});
    english.setup.english = true;
    english.setup.screen = 1;
    english.steps[4].x1 = 40;
    english.steps[4].y1 = 30;
    out.push_back({"english-rushed", english});
    out.push_back({"acknowledged-with-d0", run({touches(9), key(0x0D)}, Ending::EscThenEnter,
                                               {set(ControllerChange::AckCode, 1)})});
    out.push_back({"lifts-without-a-press",
                   run({mouse(Step::Release, 30, 20), key('0'), mouse(Step::Press, 30, 20),
                        key('0'), mouse(Step::Release, 30, 20), mouse(Step::Press, 30, 20),
                        setup({}, DialogEnd::ClickCancel), mouse(Step::Release, 30, 20)})});
    Input tiny = run({touches(5), step(Step::Close)});
    tiny.setup.screen = 3;
    out.push_back({"tiny-screen-closed", tiny});
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    for (const Seed& seed : seeds()) {
        std::vector<std::uint8_t> bytes = encode(seed.input);
        std::string path = std::string(argv[1]) + "/" + seed.name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::fclose(f);
    }
    return 0;
}
