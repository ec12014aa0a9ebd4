// Modal windows: message boxes and dialogs with their nested loops, the scripted user who
// answers them, and the dialog manager's calls (EndDialog, CheckRadioButton, GetDlgItem,
// SetFocus).
#include "platform/host/sim_state.h"

#include <algorithm>
#include <cctype>

namespace sim {
namespace detail {

namespace {

constexpr win::DWORD kWsDisabled = 0x08000000u;
constexpr win::DWORD kWsGroup = 0x00020000u;
constexpr win::DWORD kWsTabStop = 0x00010000u;
constexpr win::DWORD kBsNotify = 0x00004000u;
constexpr win::DWORD kSsNotify = 0x00000100u;
constexpr win::DWORD kErrorControlIdNotFound = 1421;

enum ButtonType {
    PushButton = 0,
    DefPushButton = 1,
    CheckBox = 2,
    AutoCheckBox = 3,
    RadioButton = 4,
    ThreeState = 5,
    AutoThreeState = 6,
    GroupBox = 7,
    UserButton = 8,
    AutoRadioButton = 9,
    OwnerDraw = 11,
};

constexpr win::WPARAM kVkSpace = 0x20;

// WS_DLGFRAME's frame, as the system metrics give it.
constexpr int kDialogFrame = 3;

// Where a message box lies on the screen: centred, wide enough for its text and caption,
// with room for the caption bar, the text and the OK button, about as Windows lays it out.
win::RECT messageBoxRect(const std::string& text, const std::string& caption) {
    const sim::Config& c = state().config;
    int contentWidth = static_cast<int>(std::max(text.size(), caption.size() + 4)) * c.charWidth;
    int width = std::max(contentWidth, 88) + 2 * 24 + 2 * kDialogFrame;
    int height = 2 * kDialogFrame + 18 + 24 + c.textHeight + 24 + 23 + 12;
    int left = (c.screenWidth - width) / 2, top = (c.screenHeight - height) / 2;
    return win::RECT{left, top, left + width, top + height};
}

// Where a dialog lies on the screen: the template's place (relative to the owner's client
// area, which starts at the screen's origin here) and size in dialog units of the system
// font, whose average character width and height stand for the base units, and its frame.
win::RECT dialogRect(const DialogTemplate& t) {
    const sim::Config& c = state().config;
    int left = t.x * c.charWidth / 4, top = t.y * c.textHeight / 8;
    int right = left + t.width * c.charWidth / 4, bottom = top + t.height * c.textHeight / 8;
    return win::RECT{left - kDialogFrame, top - kDialogFrame, right + kDialogFrame,
                     bottom + kDialogFrame};
}

bool equalNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool isButton(const DialogControl& c) {
    return equalNoCase(c.className, "Button");
}

int buttonType(const DialogControl& c) {
    return static_cast<int>(c.style & 0x0F);
}

bool isRadio(const DialogControl& c) {
    return isButton(c) && (buttonType(c) == RadioButton || buttonType(c) == AutoRadioButton);
}

bool isCheckable(const DialogControl& c) {
    int t = buttonType(c);
    return isButton(c) && (t == CheckBox || t == AutoCheckBox || t == RadioButton ||
                           t == ThreeState || t == AutoThreeState || t == AutoRadioButton);
}

bool isPushButton(const DialogControl& c) {
    return isButton(c) && (buttonType(c) == PushButton || buttonType(c) == DefPushButton);
}

bool enabled(const DialogControl& c) {
    return !(c.style & kWsDisabled);
}

// The open dialog a window handle is, or -1.
long findOpenDialog(win::HWND handle) {
    const State& s = state();
    for (size_t i = 0; i < s.dialogInstances.size(); ++i)
        if (s.dialogInstances[i].open && s.dialogInstances[i].handle == handle && handle)
            return static_cast<long>(i);
    return -1;
}

long findControlById(size_t d, int id) {
    const std::vector<DialogControl>& controls = state().dialogs[d].controls;
    for (size_t c = 0; c < controls.size(); ++c)
        if (static_cast<win::WORD>(controls[c].id) == static_cast<win::WORD>(id))
            return static_cast<long>(c);
    return -1;
}

bool ended(size_t d) {
    return state().dialogs[d].ended;
}

// BM_SETCHECK: a radio button also takes WS_TABSTOP when checked and loses it when not,
// so that the tab key reaches the checked button of a group.
void setCheck(size_t d, size_t c, bool checked) {
    State& s = state();
    DialogControl& control = s.dialogs[d].controls[c];
    if (!isCheckable(control))
        return;
    control.checked = checked;
    if (isRadio(control))
        s.dialogInstances[d].tabStop[c] = checked;
}

void sendCommand(size_t d, win::WPARAM wParam, win::HWND control) {
    State& s = state();
    DialogInstance& dialog = s.dialogInstances[d];
    if (dialog.proc && !ended(d))
        dialog.proc(dialog.handle, win::WM_COMMAND, wParam, reinterpret_cast<win::LPARAM>(control));
}

win::WPARAM command(int id, win::WORD code) {
    return win::MAKEWPARAM(static_cast<win::WORD>(id), code);
}

// What an automatic button does to its own check mark when clicked.
void autoCheck(size_t d, size_t c) {
    std::vector<DialogControl>& controls = state().dialogs[d].controls;
    int type = buttonType(controls[c]);
    if (type == AutoCheckBox) {
        setCheck(d, c, !controls[c].checked);
    } else if (type == AutoRadioButton) {
        size_t first = c, last = c + 1;
        while (first > 0 && !(controls[first].style & kWsGroup))
            --first;
        while (last < controls.size() && !(controls[last].style & kWsGroup))
            ++last;
        for (size_t i = first; i < last; ++i)
            if (isRadio(controls[i]))
                setCheck(d, i, i == c);
    }
}

// A button released under the mouse (or by the space key): its own check logic, then
// BN_CLICKED to the dialog.
void pushButton(size_t d, size_t c) {
    State& s = state();
    autoCheck(d, c);
    DialogControl control = s.dialogs[d].controls[c];
    sendCommand(d, command(control.id, win::BN_CLICKED), s.dialogInstances[d].controls[c]);
}

void click(size_t d, int id, bool twice) {
    State& s = state();
    long found = findControlById(d, id);
    if (found < 0) {
        noteError("dialog " + s.dialogs[d].templateName + ": no control " + std::to_string(id) +
                  " to click");
        return;
    }
    size_t c = static_cast<size_t>(found);
    DialogControl control = s.dialogs[d].controls[c];
    win::HWND handle = s.dialogInstances[d].controls[c];
    if (!enabled(control))
        return;
    if (isButton(control)) {
        int type = buttonType(control);
        if (type == GroupBox)
            return; // a group box lets the click through to the dialog, which ignores it
        // A button takes the focus when pressed and notifies when released.
        setFocusWindow(handle);
        pushButton(d, c);
        if (!twice || ended(d))
            return;
        // The second press of a double-click: a plain radio button (and a button with
        // BS_NOTIFY) reports BN_DBLCLK instead of a second click.
        if (type == RadioButton || type == UserButton || type == OwnerDraw ||
            (control.style & kBsNotify))
            sendCommand(d, command(control.id, win::BN_DBLCLK), handle);
        else
            pushButton(d, c);
    } else if (equalNoCase(control.className, "Static")) {
        if (!(control.style & kSsNotify))
            return;                                     // a plain static control does not notify
        sendCommand(d, command(control.id, 0), handle); // STN_CLICKED
        if (twice && !ended(d))
            sendCommand(d, command(control.id, 1), handle); // STN_DBLCLK
    } else {
        noteError("clicking a " + control.className + " control is not simulated");
    }
}

long focusedControl(size_t d) {
    size_t fd = 0, fc = 0;
    if (focusBelongsToDialog(state().focus, &fd, &fc) && fd == d)
        return static_cast<long>(fc);
    return -1;
}

void pressKey(size_t d, int virtualKey) {
    State& s = state();
    std::vector<DialogControl>& controls = s.dialogs[d].controls;
    const std::vector<win::HWND>& handles = s.dialogInstances[d].controls;
    long f = focusedControl(d);
    switch (virtualKey) {
    case win::VK_RETURN: {
        // The focused push button, else the default push button, else IDOK.
        if (f >= 0 && isPushButton(controls[f]) && enabled(controls[f])) {
            sendCommand(d, command(controls[f].id, win::BN_CLICKED), handles[f]);
            return;
        }
        for (size_t c = 0; c < controls.size(); ++c)
            if (isButton(controls[c]) && buttonType(controls[c]) == DefPushButton) {
                if (enabled(controls[c]))
                    sendCommand(d, command(controls[c].id, win::BN_CLICKED), handles[c]);
                return;
            }
        long ok = findControlById(d, win::IDOK);
        sendCommand(d, win::IDOK, ok >= 0 ? handles[ok] : nullptr);
        return;
    }
    case win::VK_ESCAPE: {
        long cancel = findControlById(d, win::IDCANCEL);
        if (cancel < 0 || enabled(controls[cancel]))
            sendCommand(d, win::IDCANCEL, cancel >= 0 ? handles[cancel] : nullptr);
        return;
    }
    case static_cast<int>(kVkSpace):
        if (f >= 0 && isButton(controls[f]) && buttonType(controls[f]) != GroupBox &&
            enabled(controls[f]))
            pushButton(d, static_cast<size_t>(f));
        return;
    case win::VK_TAB: {
        size_t n = controls.size();
        for (size_t step = 1; step <= n; ++step) {
            size_t c = (static_cast<size_t>(f < 0 ? n - 1 : f) + step) % n;
            if (s.dialogInstances[d].tabStop[c] && enabled(controls[c])) {
                setFocusWindow(handles[c]);
                return;
            }
        }
        return;
    }
    case 0x25: // the arrow keys move the focus within a group
    case 0x26:
    case 0x27:
    case 0x28:
        noteError("dialog key " + std::to_string(virtualKey) + " is not simulated");
        return;
    default:
        return; // the buttons have no mnemonics: other keys do nothing
    }
}

void perform(size_t d, const DialogAction& action) {
    switch (action.kind) {
    case DialogAction::Click:
        click(d, action.value, false);
        break;
    case DialogAction::DoubleClick:
        click(d, action.value, true);
        break;
    case DialogAction::Key:
        pressKey(d, action.value);
        break;
    case DialogAction::Inspect:
        if (action.inspect) {
            OpenDialog now = state().dialogs[d];
            action.inspect(now);
        }
        break;
    }
}

win::HWND firstTabStop(size_t d) {
    const State& s = state();
    const DialogInstance& dialog = s.dialogInstances[d];
    for (size_t c = 0; c < dialog.controls.size(); ++c)
        if (dialog.tabStop[c] && enabled(s.dialogs[d].controls[c]))
            return dialog.controls[c];
    return nullptr;
}

// Whether a window that had the focus before a modal window opened is still there to
// take it back.
bool canTakeFocus(win::HWND window) {
    size_t d = 0, c = 0;
    return isMainWindow(window) || findOpenDialog(window) >= 0 ||
           focusBelongsToDialog(window, &d, &c);
}

void giveFocusBack(win::HWND previous) {
    setFocusWindow(previous && canTakeFocus(previous) ? previous : nullptr);
}

// Opening a modal window disables its owner, which loses the focus to it; closing it enables
// the owner again if the opening disabled it, and gives the focus back.
struct OwnerDisabled {
    explicit OwnerDisabled(win::HWND owner, win::HWND focus, const win::RECT& rect)
        : mainOwner(isMainWindow(owner)), previous(state().focus) {
        State& s = state();
        ++s.modalCalls;
        disabled = mainOwner && s.window.enabled;
        if (disabled) {
            // Being disabled, the window is told to give up a press or capture it holds.
            sendToMainWindow(win::WM_CANCELMODE, 0, 0);
            s.window.enabled = false;
        }
        setFocusWindow(focus);
        coverScreen(rect);
    }
    ~OwnerDisabled() {
        State& s = state();
        uncoverScreen();
        if (disabled)
            s.window.enabled = true;
        giveFocusBack(previous);
        --s.modalCalls;
    }
    OwnerDisabled(const OwnerDisabled&) = delete;
    OwnerDisabled& operator=(const OwnerDisabled&) = delete;
    bool mainOwner;
    win::HWND previous;
    bool disabled = false;
};

// A message box with its OK button: Enter, Esc, Space or Alt+F4 answer it, and so does the
// user who has nothing else scripted. The callbacks of whileNextBoxIsUp run first.
class BoxWindow : public ModalWindow {
  public:
    bool ended() const override { return answered; }
    bool scripted() const override { return !callbacksRun && !state().whileBoxUp.empty(); }
    void doNextScripted() override {
        callbacksRun = true;
        std::vector<std::function<void()>> whileUp;
        whileUp.swap(state().whileBoxUp);
        for (const std::function<void()>& fn : whileUp)
            if (fn)
                fn();
    }
    void key(int virtualKey) override {
        if (virtualKey == win::VK_RETURN || virtualKey == win::VK_ESCAPE ||
            virtualKey == static_cast<int>(kVkSpace))
            answered = true;
    }
    void close() override { answered = true; }
    void answer() override { answered = true; }

    bool answered = false;
    bool callbacksRun = false;
};

// A dialog: its scripted actions first, then the user's keys, which go to the focused control.
class DialogWindow : public ModalWindow {
  public:
    DialogWindow(size_t dialog, std::vector<sim::DialogAction> script, bool given)
        : d(dialog), actions(std::move(script)), scriptGiven(given) {}
    bool ended() const override { return state().dialogs[d].ended; }
    bool scripted() const override { return next < actions.size(); }
    void doNextScripted() override { perform(d, actions[next++]); }
    void key(int virtualKey) override { pressKey(d, virtualKey); }
    void close() override { pressKey(d, win::VK_ESCAPE); } // WM_CLOSE: IDCANCEL
    void answer() override {
        sim::OpenDialog& dialog = state().dialogs[d];
        noteError("dialog " + dialog.templateName +
                  (scriptGiven ? ": the script ran out before EndDialog"
                               : ": no script for it (sim::scriptDialog)"));
        dialog.ended = true;
        dialog.result = -1;
    }

    size_t d;
    std::vector<sim::DialogAction> actions;
    size_t next = 0;
    bool scriptGiven;
};

} // namespace

bool focusBelongsToDialog(win::HWND window, size_t* dialog, size_t* control) {
    if (!window)
        return false;
    const State& s = state();
    for (size_t d = 0; d < s.dialogInstances.size(); ++d) {
        if (!s.dialogInstances[d].open)
            continue;
        const std::vector<win::HWND>& controls = s.dialogInstances[d].controls;
        for (size_t c = 0; c < controls.size(); ++c)
            if (controls[c] == window) {
                *dialog = d;
                *control = c;
                return true;
            }
    }
    return false;
}

} // namespace detail

using namespace detail;

void scriptDialog(std::vector<DialogAction> actions) {
    state().dialogScripts.push_back(std::move(actions));
}

DialogAction click(int id) {
    return DialogAction{DialogAction::Click, id, nullptr};
}

DialogAction doubleClick(int id) {
    return DialogAction{DialogAction::DoubleClick, id, nullptr};
}

DialogAction dialogKey(int virtualKey) {
    return DialogAction{DialogAction::Key, virtualKey, nullptr};
}

std::vector<int> OpenDialog::checkedIds() const {
    std::vector<int> ids;
    for (const DialogControl& c : controls)
        if (c.checked)
            ids.push_back(c.id);
    return ids;
}

DialogAction inspect(std::function<void(const OpenDialog&)> fn) {
    return DialogAction{DialogAction::Inspect, 0, std::move(fn)};
}

} // namespace sim

namespace win {

using namespace sim::detail;

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    State& s = state();
    std::string title = caption ? caption : "Error"; // the caption Windows gives a box without one
    record("MessageBoxA", title, type, 0, 0, 0, title);
    std::string body = text ? text : "";
    RECT rect = messageBoxRect(body, title);
    s.boxes.push_back(sim::MessageBoxRecord{owner, body, title, type, s.cursorCounter, rect});
    size_t index = s.boxes.size() - 1;

    BoxWindow box;
    {
        OwnerDisabled modal(owner, reinterpret_cast<HWND>(newHandle()), rect); // focus: its OK
        s.boxes[index].cursorCounterWhileUp = s.cursorCounter;
        runModalLoop(box, modal.mainOwner);
    }
    // Gone with its owner or ended by WM_QUIT, the box was never answered.
    return box.answered ? IDOK : 0;
}

INT_PTR DialogBoxParamA(HINSTANCE, const char* templateName, HWND owner, DLGPROC proc,
                        LPARAM param) {
    State& s = state();
    std::uintptr_t id = reinterpret_cast<std::uintptr_t>(templateName);
    std::string name = id < 0x10000 ? "#" + std::to_string(id) : std::string(templateName);
    size_t callIndex = s.calls.size();
    record("DialogBoxParamA", name, param, 0, 0, 0, name);

    std::string parseError;
    const std::vector<DialogTemplate>& templates = dialogTemplates(&parseError);
    if (!parseError.empty())
        noteError("dialog templates: " + parseError);
    const DialogTemplate* found = nullptr;
    for (const DialogTemplate& t : templates)
        if (equalNoCase(t.name, name))
            found = &t;
    if (!found) {
        s.lastError = kErrorResourceNameNotFound;
        s.calls[callIndex].b = -1;
        return -1;
    }

    // Create the dialog and its controls.
    sim::OpenDialog opened;
    opened.templateName = found->name;
    opened.focusId = 0;
    opened.ended = false;
    opened.result = 0;
    opened.rect = dialogRect(*found);
    DialogInstance dialog;
    dialog.handle = reinterpret_cast<HWND>(newHandle());
    dialog.proc = proc;
    dialog.record = s.dialogs.size();
    dialog.open = true;
    for (const TemplateControl& t : found->controls) {
        opened.controls.push_back(sim::DialogControl{t.id, t.className, t.style, t.text, false});
        dialog.controls.push_back(reinterpret_cast<HWND>(newHandle()));
        dialog.tabStop.push_back((t.style & kWsTabStop) != 0);
    }
    size_t d = s.dialogs.size();
    s.dialogs.push_back(opened);
    s.dialogInstances.push_back(dialog);
    std::vector<sim::DialogAction> actions;
    bool scripted = !s.dialogScripts.empty();
    if (scripted) {
        actions = std::move(s.dialogScripts.front());
        s.dialogScripts.pop_front();
    }

    DialogWindow window(d, std::move(actions), scripted);
    {
        // The owner is disabled, and so loses the focus, before the dialog is created.
        OwnerDisabled modal(owner, dialog.handle, opened.rect);
        INT_PTR initResult = proc ? proc(dialog.handle, WM_INITDIALOG,
                                         reinterpret_cast<WPARAM>(firstTabStop(d)), param)
                                  : TRUE;
        if (initResult && !ended(d)) {
            // TRUE asks for the default focus: the first control with WS_TABSTOP as it is now.
            if (HWND first = firstTabStop(d))
                setFocusWindow(first);
        }
        runModalLoop(window, modal.mainOwner);
        sim::OpenDialog& result = s.dialogs[d];
        if (!result.ended) {
            // Gone with its owner, or ended by WM_QUIT, without EndDialog.
            result.ended = true;
            result.result = 0;
        } else if (window.next < window.actions.size()) {
            noteError("dialog " + result.templateName + ": " +
                      std::to_string(window.actions.size() - window.next) +
                      " scripted action(s) left after EndDialog");
        }
        // The dialog goes away; the owner is enabled and activated again.
        s.dialogInstances[d].open = false;
    }
    INT_PTR value = s.dialogs[d].result;
    s.calls[callIndex].b = value;
    return value;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    State& s = state();
    record("EndDialog", std::to_string(result), result);
    long d = findOpenDialog(dialog);
    if (d < 0) {
        s.lastError = kErrorInvalidWindowHandle;
        return FALSE;
    }
    s.dialogs[static_cast<size_t>(d)].ended = true;
    s.dialogs[static_cast<size_t>(d)].result = result;
    return TRUE;
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
    State& s = state();
    record("CheckRadioButton",
           std::to_string(firstId) + " " + std::to_string(lastId) + " " + std::to_string(checkId),
           firstId, lastId, checkId);
    long d = findOpenDialog(dialog);
    if (d < 0) {
        s.lastError = kErrorInvalidWindowHandle;
        return FALSE;
    }
    // Every control whose id lies in the range is set: the one named checked, the others not.
    std::vector<sim::DialogControl>& controls = s.dialogs[static_cast<size_t>(d)].controls;
    for (size_t c = 0; c < controls.size(); ++c)
        if (controls[c].id >= firstId && controls[c].id <= lastId)
            setCheck(static_cast<size_t>(d), c, controls[c].id == checkId);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    State& s = state();
    record("GetDlgItem", std::to_string(id), id);
    long d = findOpenDialog(dialog);
    if (d < 0) {
        s.lastError = kErrorInvalidWindowHandle;
        return nullptr;
    }
    long c = findControlById(static_cast<size_t>(d), id);
    if (c < 0) {
        s.lastError = kErrorControlIdNotFound;
        return nullptr;
    }
    return s.dialogInstances[static_cast<size_t>(d)].controls[static_cast<size_t>(c)];
}

HWND SetFocus(HWND window) {
    State& s = state();
    size_t d = 0, c = 0;
    bool isControl = focusBelongsToDialog(window, &d, &c);
    int id = isControl ? s.dialogs[d].controls[c].id : 0;
    record("SetFocus", std::to_string(id), id);
    HWND previous = s.focus;
    if (window && !isControl && !isMainWindow(window) && findOpenDialog(window) < 0) {
        s.lastError = kErrorInvalidWindowHandle;
        return nullptr;
    }
    setFocusWindow(window);
    return previous;
}

} // namespace win
