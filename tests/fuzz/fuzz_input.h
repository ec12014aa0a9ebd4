// What one fuzz input means: how the simulated machine starts, then a list of steps (user
// input, other programs, controller behaviour), each decoded from a few bytes. Any byte
// string decodes to some run; encode() writes a run back as bytes, for the seed corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

// How the input ends, after a Space that answers a box still up; after it the program must
// exit with 0.
enum class Ending : std::uint8_t { EscThenEnter, EnterThenEsc, Close };

struct Setup {
    int screen = 0; // index into kScreens
    bool english = false;
    int cursorCounter = 0; // -3 .. 2
    Ending ending = Ending::EscThenEnter;
};

// Small screens keep the runs fast. The font varies with them: the default font's cells on
// the first and the last, so that the texts are wider than the screen and the help band
// covers half of the tiny one; small cells on the others, so that the texts fit.
struct Screen {
    int width, height;
    int charWidth, textHeight, externalLeading;
};
constexpr Screen kScreens[] = {
    {64, 48, 8, 16, 0}, {96, 72, 2, 6, 0}, {80, 60, 1, 4, 1}, {40, 30, 8, 16, 0}};
// The desktop reaches this far beyond the screen on the right and at the bottom.
constexpr int kDesktopMargin = 16;

// A change of the controller's behaviour: which PanelScript field, and a byte for its value.
struct ControllerChange {
    enum Field : std::uint8_t {
        AckCode,      // 0x90 or 0xD0
        Refuse,       // command (none, all, each, an unknown one) and its occurrence
        RefuseCode,   // reply byte 3 of a refusal
        DiagError,    // DIAG answers with this error code (0: none)
        FailIoctl,    // the device-control call fails
        ReplyMode,    // normal, cut, garbage, none
        CutWhich,     // command and occurrence whose reply is cut
        CutAfter,     // bytes of a cut reply, 0 to 20
        DeviceAbsent, // the device cannot be opened
        Defaults,     // everything as at start
        kFieldCount
    } field;
    std::uint8_t value;
};

// Another program posts a mouse or key message to the main window: which one (see kPosted).
struct PostedInput {
    std::uint8_t which;
};

// What happens in another program while the next message box is up.
struct BoxAction {
    enum Kind : std::uint8_t {
        PostStart,
        PostClose,
        PassOver,
        Controller,
        PostInput,
        kKindCount
    } kind;
    ControllerChange change; // Controller only
    PostedInput input;       // PostInput only
};

// The user's actions in the setup dialog: clicks on radio buttons (single or double), Tab,
// other programs' doings, then one action that ends the dialog.
struct DialogMove {
    enum Kind : std::uint8_t { Click, DoubleClick, Tab, Elsewhere, kKindCount } kind;
    // Radio button (index into kRadios) or, for Elsewhere, what happens: 1 WM_USER, 2 a window
    // passes over, from kElsewherePost on a posted input message (kPosted), else nothing.
    std::uint8_t value;
};
constexpr int kElsewhereValues = 8;
constexpr int kElsewherePost = 3;
enum class DialogEnd : std::uint8_t { ClickOk, ClickCancel, Enter, Esc, DoubleClickOk, kCount };
struct DialogPlan {
    std::vector<DialogMove> moves;
    DialogEnd end = DialogEnd::ClickOk;
};
constexpr int kRadios[] = {10, 11, 12, 13, 20, 21, 30, 31, 32, 33};
constexpr int kRadioCount = sizeof kRadios / sizeof kRadios[0];
// The radio button a Click or DoubleClick move clicks.
inline int radioOf(const DialogMove& m) {
    return kRadios[m.value % kRadioCount];
}

struct Step {
    enum Kind : std::uint8_t {
        Key,   // key (index into kKeys), auto-repeat; plan for the dialog key 1 opens
        Press, // the user's left button at (x, y), desktop pixels
        Move,
        Release,
        Touch,        // press and release at (x, y)
        RawMouse,     // another program posts a mouse message with any lParam
        FocusAway,    // the window loses and regains the keyboard focus
        Close,        // WM_CLOSE, as Alt+F4 gives
        ForeignStart, // another program posts WM_USER
        PassOver,     // another window passes over an area of the desktop
        Controller,   // the controller's behaviour changes
        WhileBoxUp,   // something happens while the next message box is up
        Touches,      // count touches at the middle of the screen
        kKindCount
    } kind;
    bool rushed = false; // queued at once, ahead of a pending paint
    int key = 0;
    bool autoRepeat = false;
    int x = 0, y = 0, x1 = 0, y1 = 0;
    unsigned message = 0;      // RawMouse
    std::uintptr_t wParam = 0; // RawMouse, ForeignStart
    std::intptr_t lParam = 0;  // RawMouse
    int count = 0;             // Touches
    ControllerChange change{};
    BoxAction box{};
    DialogPlan dialog;
};

// Virtual keys a step can press: the program's own, and others.
constexpr int kKeys[] = {'0', '1',  0x09, 0x0D, 0x1B, 0x2E, 0x60, 0x61,
                         'A', 0x20, '2',  0x73, 0x10, 0x2D, 0x08, 0xFF};

// The input messages other programs post: a press, a move and a release at the middle of the
// screen (with MK_LBUTTON while down), and the program's keys 0, 1, Tab, Enter, Esc, Delete.
struct Posted {
    unsigned message;
    int key; // WM_KEYDOWN only
};
constexpr Posted kPosted[] = {{0x0201, 0},    {0x0200, 0},    {0x0202, 0},
                              {0x0100, '0'},  {0x0100, '1'},  {0x0100, 0x09},
                              {0x0100, 0x0D}, {0x0100, 0x1B}, {0x0100, 0x2E}};
constexpr int kPostedCount = sizeof kPosted / sizeof kPosted[0];

struct Input {
    Setup setup;
    // Controller changes before the first other step act before the program starts.
    std::vector<ControllerChange> atStart;
    std::vector<Step> steps; // encode() moves a leading Controller step to atStart
};

constexpr std::size_t kMaxSteps = 200;

Screen screenOf(const Setup& setup);
Input decode(const std::uint8_t* data, std::size_t size);
std::vector<std::uint8_t> encode(const Input& input);

} // namespace fuzz
