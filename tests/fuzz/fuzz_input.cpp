#include "fuzz_input.h"

#include <algorithm>

namespace fuzz {

namespace {

constexpr int kKeyCount = sizeof kKeys / sizeof kKeys[0];
constexpr unsigned kMouseMessages[] = {0x0201, 0x0200, 0x0202}; // down, move, up
constexpr std::uintptr_t kLeftButton = 0x0001;                  // MK_LBUTTON

// Bytes in order; past the end every byte reads as 0.
class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}
    bool done() const { return left_ == 0; }
    std::uint8_t next() {
        if (left_ == 0)
            return 0;
        --left_;
        return *data_++;
    }

  private:
    const std::uint8_t* data_;
    std::size_t left_;
};

int scale(std::uint8_t byte, int extent) {
    return byte * extent / 256;
}

std::uint8_t unscale(int value, int extent) {
    int byte = (value * 256 + extent - 1) / extent;
    return static_cast<std::uint8_t>(std::clamp(byte, 0, 255));
}

std::intptr_t packPoint(unsigned x, unsigned y) {
    return static_cast<std::intptr_t>(((y & 0xFFFFu) << 16) | (x & 0xFFFFu));
}

ControllerChange readChange(Reader& in) {
    ControllerChange c;
    c.field = static_cast<ControllerChange::Field>(in.next() % ControllerChange::kFieldCount);
    c.value = in.next();
    return c;
}

DialogPlan readDialog(Reader& in) {
    DialogPlan plan;
    int count = in.next() % 8;
    for (int i = 0; i < count; ++i) {
        std::uint8_t b = in.next();
        DialogMove move;
        move.kind = static_cast<DialogMove::Kind>(b % DialogMove::kKindCount);
        move.value = static_cast<std::uint8_t>(b / DialogMove::kKindCount);
        if (move.kind == DialogMove::Click || move.kind == DialogMove::DoubleClick)
            move.value %= kRadioCount;
        else
            move.value %= kElsewhereValues;
        plan.moves.push_back(move);
    }
    plan.end = static_cast<DialogEnd>(in.next() % static_cast<int>(DialogEnd::kCount));
    return plan;
}

std::intptr_t readLParam(Reader& in, int shape, Screen screen, Screen desktop) {
    switch (shape) {
    case 0: {
        int x = scale(in.next(), desktop.width);
        return packPoint(x, scale(in.next(), desktop.height));
    }
    case 1:
        return packPoint(0xFFFF, in.next());
    case 2:
        return packPoint(in.next(), 0xFFFF);
    case 3:
        return -1;
    case 4:
        return 0;
    case 5: {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(in.next()) << (8 * i);
        return static_cast<std::intptr_t>(v);
    }
    case 6: {
        unsigned x = 0x8000u | in.next();
        return packPoint(x, in.next());
    }
    default:
        return packPoint(screen.width, screen.height);
    }
}

Step readStep(Reader& in, std::uint8_t op, Screen screen) {
    Screen desktop = screen;
    desktop.width += kDesktopMargin;
    desktop.height += kDesktopMargin;
    Step s{};
    s.kind = static_cast<Step::Kind>((op & 15) % Step::kKindCount);
    s.rushed = (op & 16) != 0;
    int param = op >> 5;
    switch (s.kind) {
    case Step::Key: {
        std::uint8_t k = in.next();
        s.key = kKeys[k % kKeyCount];
        s.autoRepeat = (k & 16) != 0;
        if ((s.key == '1' || s.key == 0x61) && !s.autoRepeat)
            s.dialog = readDialog(in);
        break;
    }
    case Step::Press:
    case Step::Move:
    case Step::Release:
    case Step::Touch:
        s.x = scale(in.next(), desktop.width);
        s.y = scale(in.next(), desktop.height);
        break;
    case Step::RawMouse: {
        std::uint8_t m = in.next();
        s.message = kMouseMessages[(m & 3) % 3];
        s.wParam = (m & 4) ? kLeftButton : 0;
        s.lParam = readLParam(in, (m >> 3) % 8, screen, desktop);
        break;
    }
    case Step::ForeignStart:
        s.wParam = static_cast<std::uintptr_t>(param);
        break;
    case Step::PassOver: {
        int xa = scale(in.next(), desktop.width), ya = scale(in.next(), desktop.height);
        int xb = scale(in.next(), desktop.width), yb = scale(in.next(), desktop.height);
        s.x = std::min(xa, xb);
        s.y = std::min(ya, yb);
        s.x1 = std::max(xa, xb) + 1;
        s.y1 = std::max(ya, yb) + 1;
        break;
    }
    case Step::Controller:
        s.change = readChange(in);
        break;
    case Step::WhileBoxUp:
        s.box.kind = static_cast<BoxAction::Kind>(in.next() % BoxAction::kKindCount);
        if (s.box.kind == BoxAction::Controller)
            s.box.change = readChange(in);
        if (s.box.kind == BoxAction::PostInput)
            s.box.input.which = static_cast<std::uint8_t>(in.next() % kPostedCount);
        break;
    case Step::Touches:
        s.count = in.next() % 24 + 1;
        break;
    default:
        break;
    }
    return s;
}

} // namespace

Screen screenOf(const Setup& setup) {
    return kScreens[setup.screen];
}

Input decode(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    Input input;
    std::uint8_t h = in.next();
    input.setup.screen = h & 3;
    input.setup.english = (h & 4) != 0;
    input.setup.cursorCounter = ((h >> 3) & 7) % 6 - 3;
    input.setup.ending = static_cast<Ending>((h >> 6) % 3);
    Screen screen = screenOf(input.setup);
    bool started = false;
    while (!in.done() && input.steps.size() < kMaxSteps) {
        Step step = readStep(in, in.next(), screen);
        if (!started && step.kind == Step::Controller) {
            input.atStart.push_back(step.change);
            continue;
        }
        started = true;
        input.steps.push_back(step);
    }
    return input;
}

namespace {

void putChange(std::vector<std::uint8_t>& out, const ControllerChange& c) {
    out.push_back(c.field);
    out.push_back(c.value);
}

void putStep(std::vector<std::uint8_t>& out, const Step& s, Screen screen) {
    Screen desktop = screen;
    desktop.width += kDesktopMargin;
    desktop.height += kDesktopMargin;
    int param = s.kind == Step::ForeignStart ? static_cast<int>(s.wParam & 7) : 0;
    out.push_back(static_cast<std::uint8_t>(s.kind | (s.rushed ? 16 : 0) | (param << 5)));
    switch (s.kind) {
    case Step::Key: {
        int index = 0;
        while (kKeys[index] != s.key)
            ++index;
        out.push_back(static_cast<std::uint8_t>(index | (s.autoRepeat ? 16 : 0)));
        if ((s.key == '1' || s.key == 0x61) && !s.autoRepeat) {
            out.push_back(static_cast<std::uint8_t>(s.dialog.moves.size()));
            for (const DialogMove& m : s.dialog.moves)
                out.push_back(static_cast<std::uint8_t>(m.kind + m.value * DialogMove::kKindCount));
            out.push_back(static_cast<std::uint8_t>(s.dialog.end));
        }
        break;
    }
    case Step::Press:
    case Step::Move:
    case Step::Release:
    case Step::Touch:
        out.push_back(unscale(s.x, desktop.width));
        out.push_back(unscale(s.y, desktop.height));
        break;
    case Step::RawMouse: {
        int message = s.message == kMouseMessages[0] ? 0 : s.message == kMouseMessages[1] ? 1 : 2;
        int shape = s.lParam == -1 ? 3 : 5;
        out.push_back(static_cast<std::uint8_t>(message | (s.wParam ? 4 : 0) | (shape << 3)));
        if (shape == 5)
            for (int i = 0; i < 4; ++i)
                out.push_back(
                    static_cast<std::uint8_t>(static_cast<std::uint32_t>(s.lParam) >> (8 * i)));
        break;
    }
    case Step::PassOver:
        out.push_back(unscale(s.x, desktop.width));
        out.push_back(unscale(s.y, desktop.height));
        out.push_back(unscale(s.x1 - 1, desktop.width));
        out.push_back(unscale(s.y1 - 1, desktop.height));
        break;
    case Step::Controller:
        putChange(out, s.change);
        break;
    case Step::WhileBoxUp:
        out.push_back(s.box.kind);
        if (s.box.kind == BoxAction::Controller)
            putChange(out, s.box.change);
        if (s.box.kind == BoxAction::PostInput)
            out.push_back(s.box.input.which);
        break;
    case Step::Touches:
        out.push_back(static_cast<std::uint8_t>(s.count - 1));
        break;
    default:
        break;
    }
}

} // namespace

std::vector<std::uint8_t> encode(const Input& input) {
    const Setup& setup = input.setup;
    std::vector<std::uint8_t> out;
    out.push_back(static_cast<std::uint8_t>(setup.screen | (setup.english ? 4 : 0) |
                                            ((setup.cursorCounter + 3) << 3) |
                                            (static_cast<int>(setup.ending) << 6)));
    for (const ControllerChange& c : input.atStart) {
        out.push_back(Step::Controller);
        putChange(out, c);
    }
    for (const Step& s : input.steps)
        putStep(out, s, screenOf(setup));
    return out;
}

} // namespace fuzz
