// The simulated process: everything the host implementation of the Windows calls keeps.
// Shared by the host sources only; tests use sim.h.
#pragma once

#include "platform/host/sim.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace sim {
namespace detail {

// Error codes that GetLastError would give.
constexpr win::DWORD kErrorInvalidFunction = 1;
constexpr win::DWORD kErrorFileNotFound = 2;
constexpr win::DWORD kErrorInvalidHandle = 6;
constexpr win::DWORD kErrorInvalidParameter = 87;
constexpr win::DWORD kErrorInvalidWindowHandle = 1400;
constexpr win::DWORD kErrorClassAlreadyExists = 1410;
constexpr win::DWORD kErrorCannotFindWindowClass = 1407;
constexpr win::DWORD kErrorResourceNameNotFound = 1814;

constexpr win::COLORREF kWhite = 0xFFFFFF;
constexpr win::COLORREF kBlack = 0x000000;
constexpr win::COLORREF kInvalidColour = 0xFFFFFFFF;

struct MainWindow {
    bool exists = false;
    bool destroying = false;
    win::HWND handle = nullptr;
    win::WNDPROC proc = nullptr;
    std::string className;
    std::string text;
    win::DWORD style = 0;
    win::DWORD exStyle = 0;
    win::RECT rect = {0, 0, 0, 0}; // screen coordinates
    win::HBRUSH background = nullptr;
    bool activated = false;           // the first activating ShowWindow has happened
    bool enabled = true;              // a message box or dialog it owns disables it while up
    win::HIMC inputContext = nullptr; // the thread's default one from creation on
    std::vector<std::pair<std::string, win::HANDLE>> properties; // SetPropA's list
    // Invalid area in client coordinates (a bounding rectangle), and whether the
    // background is to be erased when it is painted.
    bool invalid = false;
    win::RECT invalidRect = {0, 0, 0, 0};
    bool eraseRequested = false;
};

struct DrawingContext {
    win::HDC handle;
    bool paint;          // from BeginPaint (else GetDC)
    win::HWND window;    // nullptr for the screen
    win::POINT origin;   // client origin on the screen
    win::RECT clip;      // screen coordinates
    win::POINT position; // current position, DC coordinates
};

struct InputEvent {
    enum Kind { Press, Move, Release, Key, Close, FocusAway, Callback } kind;
    explicit InputEvent(Kind k) : kind(k) {}
    int x = 0, y = 0;
    int virtualKey = 0;
    bool autoRepeat = false;
    bool rushed = false; // does not wait for the screen to settle
    std::function<void()> fn;
};

struct DialogInstance {
    win::HWND handle;
    win::DLGPROC proc;
    size_t record; // index into State::dialogs
    std::vector<win::HWND> controls;
    std::vector<bool> tabStop;
    bool open;
};

struct State {
    Config config;
    PanelModel model;
    std::vector<Call> calls;
    std::vector<std::string> errors;
    win::DWORD lastError = 0;
    win::DWORD tick = 0;

    std::vector<WindowClassRecord> classes;
    MainWindow window;
    int shownWith = -1;
    win::HWND focus = nullptr; // the thread's focus window (main window, control, box)

    std::deque<win::MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
    bool starved = false;
    int paintRepeats = 0;    // WM_PAINTs in a row that left the window invalid
    std::uint64_t waits = 0; // GetMessageA calls
    std::deque<InputEvent> input;
    bool scriptingRushed = false; // inside sim::rushed()
    bool buttonDown = false;

    std::vector<win::COLORREF> pixels;
    std::vector<win::RECT> covers; // screen areas of open message boxes and dialogs
    std::vector<DrawingContext> dcs;
    std::vector<TextRecord> texts;

    long long drawnOutsideWindow = 0;

    std::vector<MessageBoxRecord> boxes;
    std::vector<std::function<void()>> whileBoxUp;
    std::deque<std::vector<DialogAction>> dialogScripts;
    std::vector<OpenDialog> dialogs;
    std::vector<DialogInstance> dialogInstances;
    int modalCalls = 0; // MessageBoxA and DialogBoxParamA calls not yet returned

    std::function<void(const Delivery&)> watcher;
    int procDepth = 0; // window-procedure calls in progress

    int cursorCounter = 0;
    std::vector<win::HANDLE> devices;

    // What Windows does around the program (system.cpp).
    bool screenSaver = false;
    bool displayOff = false;
    bool processEnded = false;
    win::DWORD executionState = 0;
    std::vector<std::string> mutexes; // names of the mutexes the program made
};

// The one simulated process, made on first use; inline, as nearly every call asks for it.
extern State* currentState;
State& firstState();
inline State& state() {
    return currentState ? *currentState : firstState();
}

// A fresh handle value, never handed out before in this test program.
std::uintptr_t newHandle();

// Recording.
// name is a literal, which the record keeps a view of.
Call& record(const char* name, std::string_view text, std::int64_t a = 0, std::int64_t b = 0,
             std::int64_t c = 0, std::int64_t d = 0, std::string bytes = std::string());
void noteError(const std::string& message);
std::string hex(std::uint64_t value, int digits = 0);
std::string messageHex(win::UINT message);

// Window and queue (window.cpp).
bool isMainWindow(win::HWND window);
win::LRESULT sendToMainWindow(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
void destroyMainWindow();
// A message box or dialog while its loop runs: what it does with the user's input, and the
// test's doings scripted for the time it is up.
class ModalWindow {
  public:
    virtual ~ModalWindow() = default;
    virtual bool ended() const = 0;
    // Scripted doings while it is up (a dialog's actions, the callbacks of whileNextBoxIsUp)
    // that have not all run yet; they come before the user's other input.
    virtual bool scripted() const = 0;
    virtual void doNextScripted() = 0;
    virtual void key(int virtualKey) = 0; // a key: the modal window has the focus
    virtual void close() = 0;             // Alt+F4 on it
    virtual void answer() = 0;            // nothing is left for the user to do
};
// The loop of a message box or dialog owned by the main window, as Windows runs it, until the
// modal window ends: the owner's sent and posted messages reach its procedure, then the
// user's input, which the disabled owner does not get (mouse input is dropped, keys go to the
// modal window), then paints. It also ends when the owner is destroyed (and the modal window
// with it) or WM_QUIT comes, which stays posted for the loop outside.
void runModalLoop(ModalWindow& modal, bool ownedByMainWindow);
// Focus changes: the main window is told when it gains or loses the focus.
void setFocusWindow(win::HWND window);
win::HWND focusWindow();

// Input that the screen saver or a dark display takes (system.cpp): true when the event
// goes no further.
bool inputTakenBySystem(const InputEvent& e);
// What DefWindowProcA does with a system command (system.cpp).
void defaultSystemCommand(win::WPARAM command, win::LPARAM lParam);

// Stock objects and system cursors (gdi.cpp): which one a handle is, -1 and 0 if none.
int stockIndexOf(const void* handle);
std::uintptr_t systemCursorIdOf(const void* handle);

// Screen (gdi.cpp).
void resetScreen();
// The screen as a new display mode leaves it: the desktop colour everywhere.
void redrawScreenForNewMode();
win::RECT clientRect();
void paintMainWindowInternally(); // as DefWindowProc's WM_PAINT: erase and validate
// Adds an area (client coordinates) to the main window's invalid area.
void invalidateClient(const win::RECT& rect, bool erase);
// A message box or dialog appears over the screen at rect, and goes away again (the last one
// that appeared), leaving the main window to repaint what it uncovers.
void coverScreen(const win::RECT& rect);
void uncoverScreen();
bool eraseWithClassBackground(win::HDC dc); // as DefWindowProc's WM_ERASEBKGND

// Dialogs (dialogs.cpp).
bool focusBelongsToDialog(win::HWND window, size_t* dialog, size_t* control);

// The dialog templates of the program's resource script.
struct TemplateControl {
    std::string text;
    int id;
    std::string className;
    std::uint32_t style;
    int x, y, width, height;
};
struct DialogTemplate {
    std::string name;
    std::uint32_t style;
    int x, y, width, height;
    std::vector<TemplateControl> controls;
};
// Parsed once from the resource script; errors go to errorText.
const std::vector<DialogTemplate>& dialogTemplates(std::string* errorText);
std::vector<DialogTemplate> parseResourceScript(const std::string& path, std::string* errorText);

} // namespace detail
} // namespace sim
