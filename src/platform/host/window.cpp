// The window manager's side of the simulation: window classes, the one window, the message
// queue with its paints and the scripted user input, focus, the cursor counter and beeps.
#include "platform/host/sim_state.h"

#include <cctype>
#include <cstdio>

namespace sim {
namespace detail {

namespace {

constexpr win::WPARAM kMkLButton = 0x0001;
// Another process's top-level window (Config::otherProcessWindowClass).
const win::HWND kOtherProcessWindow = reinterpret_cast<win::HWND>(std::uintptr_t{0x00C00000});
// A window procedure that never validates its window would get WM_PAINT forever; after this
// many in a row the simulation validates it itself and notes the fault.
constexpr int kMaxPaintRepeats = 1000;
// A program that keeps posting to itself would never wait for input.
constexpr std::uint64_t kMaxWaits = 5000000;
// The input method's context that every window of the thread has by default.
constexpr std::uintptr_t kDefaultInputContext = 0x00D00000;

bool sameName(const std::string& a, const char* b) {
    size_t i = 0;
    for (; b[i] && i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

bool isName(const char* p) {
    return reinterpret_cast<std::uintptr_t>(p) >= 0x10000;
}

win::LPARAM packPoint(int x, int y) {
    return static_cast<win::LPARAM>((static_cast<win::DWORD>(y & 0xFFFF) << 16) |
                                    static_cast<win::DWORD>(x & 0xFFFF));
}

win::MSG makeMessage(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    State& s = state();
    win::MSG m = {};
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = ++s.tick;
    return m;
}

bool activates(int show) {
    // SW_HIDE, SW_SHOWNOACTIVATE, SW_MINIMIZE, SW_SHOWMINNOACTIVE, SW_SHOWNA
    return show != 0 && show != 4 && show != 6 && show != 7 && show != 8;
}

// Turns one scripted input event into a message for the window; false when the event was
// handled without one (a callback, a focus change, input with no window to receive it).
bool deliverInput(const InputEvent& e, win::MSG* msg) {
    State& s = state();
    if (inputTakenBySystem(e))
        return false;
    switch (e.kind) {
    case InputEvent::Callback:
        if (e.fn)
            e.fn();
        return false;
    case InputEvent::FocusAway:
        if (s.window.exists) {
            setFocusWindow(nullptr);
            setFocusWindow(s.window.handle);
        }
        return false;
    case InputEvent::Close:
        if (!s.window.exists)
            return false;
        *msg = makeMessage(s.window.handle, win::WM_CLOSE, 0, 0);
        return true;

    case InputEvent::Key: {
        if (!s.window.exists)
            return false;
        win::LPARAM lParam = 1;
        if (e.autoRepeat)
            lParam |= static_cast<win::LPARAM>(1) << 30;
        *msg = makeMessage(s.window.handle, win::WM_KEYDOWN, static_cast<win::WPARAM>(e.virtualKey),
                           lParam);
        return true;
    }
    case InputEvent::Press:
    case InputEvent::Move:
    case InputEvent::Release: {
        win::UINT message = win::WM_MOUSEMOVE;
        if (e.kind == InputEvent::Press) {
            s.buttonDown = true;
            message = win::WM_LBUTTONDOWN;
        } else if (e.kind == InputEvent::Release) {
            s.buttonDown = false;
            message = win::WM_LBUTTONUP;
        }
        const win::RECT& r = s.window.rect;
        if (!s.window.exists || e.x < r.left || e.x >= r.right || e.y < r.top || e.y >= r.bottom)
            return false;
        win::WPARAM buttons = s.buttonDown ? kMkLButton : 0;
        *msg = makeMessage(s.window.handle, message, buttons, packPoint(e.x - r.left, e.y - r.top));
        msg->pt.x = e.x;
        msg->pt.y = e.y;
        return true;
    }
    }
    return false;
}

void push(InputEvent e) {
    e.rushed = state().scriptingRushed;
    state().input.push_back(std::move(e));
}

InputEvent mouse(InputEvent::Kind kind, int x, int y) {
    InputEvent e{kind};
    e.x = x;
    e.y = y;
    return e;
}

bool paintPending() {
    const State& s = state();
    return s.window.exists && s.window.invalid;
}

// Takes the next paint of the main window, if one is due; false when nothing is to paint.
bool paintDue() {
    State& s = state();
    if (!paintPending())
        return false;
    if (++s.paintRepeats > kMaxPaintRepeats) {
        noteError("the window procedure never validated its window on WM_PAINT");
        s.window.invalid = false;
        s.paintRepeats = 0;
        return false;
    }
    return true;
}

} // namespace

bool isMainWindow(win::HWND window) {
    const State& s = state();
    return window && s.window.exists && window == s.window.handle;
}

win::LRESULT sendToMainWindow(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    State& s = state();
    if (!s.window.exists || !s.window.proc)
        return 0;
    win::WNDPROC proc = s.window.proc;
    sim::Delivery delivery{message, wParam, lParam, ++s.procDepth, s.modalCalls, false};
    if (s.watcher)
        s.watcher(delivery);
    win::LRESULT result = proc(s.window.handle, message, wParam, lParam);
    delivery.modal = s.modalCalls;
    delivery.returned = true;
    if (s.watcher)
        s.watcher(delivery);
    --s.procDepth;
    return result;
}

void destroyMainWindow() {
    State& s = state();
    if (!s.window.exists || s.window.destroying)
        return;
    s.window.destroying = true;
    // The focused window loses the focus before it learns that it is being destroyed.
    if (s.focus == s.window.handle)
        setFocusWindow(nullptr);
    sendToMainWindow(win::WM_DESTROY, 0, 0);
    if (!s.window.properties.empty())
        noteError("the window was destroyed with its property " + s.window.properties[0].first +
                  " still set");
    win::HWND gone = s.window.handle;
    s.window.exists = false;
    s.window.destroying = false;
    s.window.invalid = false;
    s.window.eraseRequested = false;
    // Messages still queued for the window are dropped with it.
    for (auto it = s.queue.begin(); it != s.queue.end();)
        it = it->hwnd == gone ? s.queue.erase(it) : it + 1;
}

void setFocusWindow(win::HWND window) {
    State& s = state();
    win::HWND old = s.focus;
    if (old == window)
        return;
    s.focus = window;
    size_t d = 0, c = 0;
    if (old && focusBelongsToDialog(old, &d, &c) && !window)
        s.dialogs[d].focusId = 0;
    if (window && focusBelongsToDialog(window, &d, &c))
        s.dialogs[d].focusId = s.dialogs[d].controls[c].id;
    if (isMainWindow(old))
        sendToMainWindow(win::WM_KILLFOCUS, reinterpret_cast<win::WPARAM>(window), 0);
    if (isMainWindow(window) && s.focus == window)
        sendToMainWindow(win::WM_SETFOCUS, reinterpret_cast<win::WPARAM>(old), 0);
}

win::HWND focusWindow() {
    return state().focus;
}

namespace {

// The user's input while a message box or dialog is up.
void takeModalInput(ModalWindow& modal) {
    State& s = state();
    InputEvent e = std::move(s.input.front());
    s.input.pop_front();
    if (inputTakenBySystem(e))
        return;
    switch (e.kind) {
    case InputEvent::Callback:
        if (e.fn)
            e.fn();
        break;
    case InputEvent::FocusAway: {
        // Another program is activated and left again: the focus comes back where it was.
        win::HWND had = s.focus;
        setFocusWindow(nullptr);
        setFocusWindow(had);
        break;
    }
    case InputEvent::Close:
        modal.close();
        break;
    case InputEvent::Key:
        modal.key(e.virtualKey);
        break;
    case InputEvent::Press:
        s.buttonDown = true; // on the disabled owner, or on the box: nothing comes of it
        break;
    case InputEvent::Release:
        s.buttonDown = false;
        break;
    case InputEvent::Move:
        break;
    }
}

} // namespace

void runModalLoop(ModalWindow& modal, bool ownedByMainWindow) {
    State& s = state();
    for (;;) {
        if (modal.ended() || (ownedByMainWindow && !s.window.exists) || s.processEnded)
            return;
        if (++s.waits > kMaxWaits) {
            noteError("a modal loop never ran out of messages");
            return;
        }
        if (!s.queue.empty()) {
            win::MSG m = s.queue.front();
            s.queue.pop_front();
            if (m.message == win::WM_QUIT) {
                // The modal loop ends and posts the quit again for the loop outside.
                s.quitPosted = true;
                s.quitCode = static_cast<int>(m.wParam);
                return;
            }
            if (isMainWindow(m.hwnd))
                sendToMainWindow(m.message, m.wParam, m.lParam);
            continue; // a thread message is lost in a modal loop, as on Windows
        }
        if (s.quitPosted)
            return;
        if (modal.scripted()) {
            if (paintDue())
                sendToMainWindow(win::WM_PAINT, 0, 0);
            else
                modal.doNextScripted();
            continue;
        }
        if (!s.input.empty() && (s.input.front().rushed || !paintPending())) {
            takeModalInput(modal);
            continue;
        }
        if (paintDue()) {
            sendToMainWindow(win::WM_PAINT, 0, 0);
            continue;
        }
        if (!s.input.empty())
            continue; // a paint that never validated was given up
        modal.answer();
        return;
    }
}

} // namespace detail

using namespace detail;

// ---- user input ----------------------------------------------------------------------------

void pressAt(int x, int y) {
    push(mouse(InputEvent::Press, x, y));
}

void moveTo(int x, int y) {
    push(mouse(InputEvent::Move, x, y));
}

void releaseAt(int x, int y) {
    push(mouse(InputEvent::Release, x, y));
}

void touch(int x, int y) {
    pressAt(x, y);
    releaseAt(x, y);
}

void key(int virtualKey, bool autoRepeat) {
    InputEvent e{InputEvent::Key};
    e.virtualKey = virtualKey;
    e.autoRepeat = autoRepeat;
    push(e);
}

void closeWindow() {
    push(InputEvent{InputEvent::Close});
}

void focusAway() {
    push(InputEvent{InputEvent::FocusAway});
}

void then(std::function<void()> fn) {
    InputEvent e{InputEvent::Callback};
    e.fn = std::move(fn);
    push(std::move(e));
}

void rushed(const std::function<void()>& script) {
    State& s = state();
    bool outer = s.scriptingRushed;
    s.scriptingRushed = true;
    if (script)
        script();
    s.scriptingRushed = outer;
}

void postFromAnotherProgram(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    State& s = state();
    if (s.window.exists)
        s.queue.push_back(makeMessage(s.window.handle, message, wParam, lParam));
}

size_t pendingInput() {
    return state().input.size();
}

void watchWindowProcedure(std::function<void(const Delivery&)> fn) {
    state().watcher = std::move(fn);
}

// ---- the window as the user sees it ----------------------------------------------------------

bool windowExists() {
    return state().window.exists;
}

win::RECT windowRect() {
    return state().window.rect;
}

win::DWORD windowStyle() {
    return state().window.style;
}

win::DWORD windowExStyle() {
    return state().window.exStyle;
}

std::string windowText() {
    return state().window.text;
}

int shownWith() {
    return state().shownWith;
}

win::HWND mainWindow() {
    return state().window.exists ? state().window.handle : nullptr;
}

bool windowHasFocus() {
    return isMainWindow(state().focus);
}

bool windowHasInputContext() {
    return state().window.exists && state().window.inputContext != nullptr;
}

win::HANDLE windowProperty(const std::string& name) {
    for (const auto& p : state().window.properties)
        if (sameName(p.first, name.c_str()))
            return p.second;
    return nullptr;
}

bool modalWindowUp() {
    return state().modalCalls > 0;
}

bool windowNeedsPaint() {
    return state().window.exists && state().window.invalid;
}

} // namespace sim

namespace win {

using namespace sim::detail;

WORD RegisterClassExA(const WNDCLASSEXA* wc) {
    State& s = state();
    std::string name = wc && isName(wc->lpszClassName) ? wc->lpszClassName : "";
    sim::Call& call = record("RegisterClassExA", name, 0, 0, 0, 0, name);
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || name.empty()) {
        s.lastError = kErrorInvalidParameter;
        return 0;
    }
    for (const sim::WindowClassRecord& c : s.classes)
        if (sameName(c.name, name.c_str())) {
            s.lastError = kErrorClassAlreadyExists;
            return 0;
        }
    sim::WindowClassRecord c;
    c.name = name;
    c.style = wc->style;
    c.proc = wc->lpfnWndProc;
    c.instance = wc->hInstance;
    c.background = wc->hbrBackground;
    c.cursor = wc->hCursor;
    c.backgroundStockObject = stockIndexOf(wc->hbrBackground);
    c.cursorId = systemCursorIdOf(wc->hCursor);
    s.classes.push_back(c);
    WORD atom = static_cast<WORD>(0xC000 + s.classes.size() - 1);
    call.a = atom;
    return atom;
}

int GetSystemMetrics(int index) {
    const sim::Config& config = state().config;
    int result = 0;
    if (index == SM_CXSCREEN)
        result = config.screenWidth;
    else if (index == SM_CYSCREEN)
        result = config.screenHeight;
    record("GetSystemMetrics", std::to_string(index), index, result);
    return result;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param) {
    State& s = state();
    std::string name = isName(className) ? className : "";
    record("CreateWindowExA", name, exStyle, style, x, y, name);
    const sim::WindowClassRecord* wc = nullptr;
    for (const sim::WindowClassRecord& c : s.classes)
        if (!name.empty() && sameName(c.name, name.c_str()))
            wc = &c;
    if (!wc) {
        s.lastError = kErrorCannotFindWindowClass;
        return nullptr;
    }
    if (s.window.exists) {
        noteError("CreateWindowExA: the simulation has room for one window only");
        s.lastError = kErrorInvalidParameter;
        return nullptr;
    }
    MainWindow& w = s.window;
    w.exists = true;
    w.destroying = false;
    w.handle = reinterpret_cast<HWND>(newHandle());
    w.proc = wc->proc;
    w.className = wc->name;
    w.text = windowName ? windowName : "";
    w.style = style;
    w.exStyle = exStyle;
    w.rect = RECT{x, y, x + width, y + height};
    w.background = wc->background;
    w.activated = false;
    w.enabled = true;
    w.inputContext = reinterpret_cast<HIMC>(kDefaultInputContext);
    w.properties.clear();
    // A new window is invalid as a whole, so that its first UpdateWindow paints it.
    w.invalid = width > 0 && height > 0;
    w.invalidRect = RECT{0, 0, width, height};
    w.eraseRequested = true;
    s.paintRepeats = 0;

    CREATESTRUCTA cs = {};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cy = height;
    cs.cx = width;
    cs.y = y;
    cs.x = x;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    HWND handle = w.handle;
    LRESULT created = sendToMainWindow(WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
    if (created == -1) {
        destroyMainWindow();
        return nullptr;
    }
    return isMainWindow(handle) ? handle : nullptr;
}

BOOL ShowWindow(HWND window, int show) {
    State& s = state();
    record("ShowWindow", std::to_string(show), show);
    if (!isMainWindow(window)) {
        s.lastError = kErrorInvalidWindowHandle;
        return FALSE;
    }
    s.shownWith = show;
    BOOL wasVisible = (s.window.style & WS_VISIBLE) ? TRUE : FALSE;
    if (show == 0) {
        s.window.style &= ~WS_VISIBLE;
        return wasVisible;
    }
    s.window.style |= WS_VISIBLE;
    // The first showing that activates the window gives it the keyboard focus.
    if (!s.window.activated && activates(show)) {
        s.window.activated = true;
        if (s.modalCalls == 0)
            setFocusWindow(window);
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND window) {
    State& s = state();
    record("UpdateWindow", "");
    if (!isMainWindow(window)) {
        s.lastError = kErrorInvalidWindowHandle;
        return FALSE;
    }
    if (s.window.invalid)
        sendToMainWindow(WM_PAINT, 0, 0);
    return TRUE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    State& s = state();
    record("PostMessageA",
           messageHex(message) + " " + std::to_string(wParam) + " " + std::to_string(lParam),
           message, static_cast<std::int64_t>(wParam), lParam);
    if (window && !isMainWindow(window)) {
        s.lastError = kErrorInvalidWindowHandle;
        return FALSE;
    }
    s.queue.push_back(makeMessage(window, message, wParam, lParam));
    return TRUE;
}

BOOL GetMessageA(MSG* msg, HWND, UINT, UINT) {
    State& s = state();
    MSG m = {};
    BOOL result = TRUE;
    for (;;) {
        if (++s.waits > kMaxWaits) {
            noteError("GetMessageA: the program never ran out of messages");
            s.starved = true;
            m = makeMessage(nullptr, WM_QUIT, 0, 0);
            result = FALSE;
            break;
        }
        if (s.processEnded) {
            // Windows has ended the process: the test's run unwinds as if WM_QUIT had come.
            m = makeMessage(nullptr, WM_QUIT, 0, 0);
            result = FALSE;
            break;
        }
        if (!s.queue.empty()) {
            m = s.queue.front();
            s.queue.pop_front();
            result = m.message == WM_QUIT ? FALSE : TRUE;
            break;
        }
        if (s.quitPosted) {
            s.quitPosted = false;
            m = makeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0);
            result = FALSE;
            break;
        }
        // Input comes before WM_PAINT. A paced user acts only once the screen has settled;
        // rushed input is already waiting in the queue.
        if (!s.input.empty() && (s.input.front().rushed || !paintPending())) {
            InputEvent e = std::move(s.input.front());
            s.input.pop_front();
            if (deliverInput(e, &m))
                break;
            continue;
        }
        if (paintDue()) {
            m = makeMessage(s.window.handle, WM_PAINT, 0, 0);
            break;
        }
        if (!s.input.empty())
            continue; // a paint that never validated was given up
        // Nothing will ever come: end the program's loop rather than hang the test.
        s.starved = true;
        m = makeMessage(nullptr, WM_QUIT, 0, 0);
        result = FALSE;
        break;
    }
    if (msg)
        *msg = m;
    record("GetMessageA", messageHex(m.message), m.message, result);
    return result;
}

BOOL TranslateMessage(const MSG* msg) {
    UINT message = msg ? msg->message : 0;
    record("TranslateMessage", messageHex(message), message,
           msg ? static_cast<std::int64_t>(msg->wParam) : 0, msg ? msg->lParam : 0);
    return (message >= WM_KEYDOWN && message <= 0x0105) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg)
        return 0;
    record("DispatchMessageA", messageHex(msg->message), msg->message,
           static_cast<std::int64_t>(msg->wParam), msg->lParam);
    if (!isMainWindow(msg->hwnd))
        return 0;
    return sendToMainWindow(msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    record("DefWindowProcA", messageHex(message), message, static_cast<std::int64_t>(wParam),
           lParam);
    if (!isMainWindow(window))
        return 0;
    switch (message) {
    case WM_CLOSE:
        destroyMainWindow();
        return 0;
    case WM_PAINT:
        paintMainWindowInternally();
        return 0;
    case WM_ERASEBKGND:
        return eraseWithClassBackground(reinterpret_cast<HDC>(wParam)) ? 1 : 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 (bit 29: the Alt key is down) asks the window to close.
        if (wParam == VK_F4 && (lParam & (static_cast<LPARAM>(1) << 29)))
            sendToMainWindow(win::WM_SYSCOMMAND, win::SC_CLOSE, 0);
        return 0;
    case WM_SYSCOMMAND:
        defaultSystemCommand(wParam, lParam);
        return 0;
    case WM_QUERYENDSESSION:
    case WM_POWERBROADCAST:
        return TRUE;
    default:
        return 0;
    }
}

void PostQuitMessage(int exitCode) {
    State& s = state();
    record("PostQuitMessage", std::to_string(exitCode), exitCode);
    s.quitPosted = true;
    s.quitCode = exitCode;
}

BOOL DestroyWindow(HWND window) {
    State& s = state();
    record("DestroyWindow", "");
    if (!isMainWindow(window) || s.window.destroying) {
        s.lastError = kErrorInvalidWindowHandle;
        return FALSE;
    }
    destroyMainWindow();
    return TRUE;
}

BOOL MessageBeep(UINT type) {
    record("MessageBeep", hex(type), type);
    return TRUE;
}

// The main window, or another process's (Config::otherProcessWindowClass), by its class.
HWND FindWindowA(const char* className, const char* windowName) {
    State& s = state();
    std::string name = className && isName(className) ? className : "";
    sim::Call& call = record("FindWindowA", name, 0, 0, 0, 0, name);
    HWND found = nullptr;
    const sim::Config& c = s.config;
    if (!name.empty() && windowName == nullptr) {
        if (s.window.exists && sameName(s.window.className, className))
            found = s.window.handle;
        else if (!c.otherProcessInAnotherSession && !c.otherProcessWindowClass.empty() &&
                 sameName(c.otherProcessWindowClass, className))
            found = kOtherProcessWindow;
    }
    call.a = found ? 1 : 0;
    return found;
}

BOOL SetForegroundWindow(HWND window) {
    State& s = state();
    sim::Call& call = record("SetForegroundWindow", "");
    if (window != nullptr && window == kOtherProcessWindow) {
        call.a = 1;
        return TRUE;
    }
    if (!isMainWindow(window)) {
        s.lastError = kErrorInvalidWindowHandle;
        return FALSE;
    }
    // Activated, the window takes the keyboard focus (unless a box or dialog of its own has it).
    if (s.modalCalls == 0 && s.focus != window)
        setFocusWindow(window);
    return TRUE;
}

// The window takes its new place; without CS_HREDRAW or CS_VREDRAW only the client area it
// gains becomes invalid, and what it keeps shows what it showed.
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    State& s = state();
    record("MoveWindow",
           std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(width) + " " +
               std::to_string(height),
           x, y, width, height);
    if (!isMainWindow(window)) {
        s.lastError = kErrorInvalidWindowHandle;
        return FALSE;
    }
    RECT old = clientRect();
    s.window.rect = RECT{x, y, x + width, y + height};
    if (repaint) {
        if (width > old.right)
            invalidateClient(RECT{old.right, 0, width, height}, true);
        if (height > old.bottom)
            invalidateClient(RECT{0, old.bottom, width, height}, true);
    }
    return TRUE;
}

BOOL SetPropA(HWND window, const char* name, HANDLE data) {
    State& s = state();
    std::string key = name && isName(name) ? name : "";
    record("SetPropA", key + " " + hex(reinterpret_cast<std::uintptr_t>(data)),
           static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(data)), 0, 0, 0, key);
    if (!isMainWindow(window) || key.empty()) {
        s.lastError = kErrorInvalidParameter;
        return FALSE;
    }
    for (auto& p : s.window.properties)
        if (sameName(p.first, name)) {
            p.second = data;
            return TRUE;
        }
    s.window.properties.emplace_back(key, data);
    return TRUE;
}

HANDLE RemovePropA(HWND window, const char* name) {
    State& s = state();
    std::string key = name && isName(name) ? name : "";
    record("RemovePropA", key, 0, 0, 0, 0, key);
    if (!isMainWindow(window))
        return nullptr;
    std::vector<std::pair<std::string, HANDLE>>& list = s.window.properties;
    for (auto it = list.begin(); it != list.end(); ++it)
        if (sameName(it->first, name)) {
            HANDLE data = it->second;
            list.erase(it);
            return data;
        }
    return nullptr;
}

HIMC ImmAssociateContext(HWND window, HIMC context) {
    State& s = state();
    record("ImmAssociateContext", context ? "1" : "0", context ? 1 : 0);
    if (!isMainWindow(window))
        return nullptr;
    HIMC previous = s.window.inputContext;
    s.window.inputContext = context;
    return previous;
}

int ShowCursor(BOOL show) {
    State& s = state();
    s.cursorCounter += show ? 1 : -1;
    record("ShowCursor", show ? "1" : "0", show ? 1 : 0, s.cursorCounter);
    return s.cursorCounter;
}

} // namespace win

int modalWindowsUp() {
    return sim::detail::state().modalCalls;
}
