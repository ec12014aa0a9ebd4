// What Windows itself does around the program: the screen saver and display power, the end
// of the session, sleep and wake, display modes, another process's mutex, and the thread's
// execution state.
#include "platform/host/sim_state.h"

#include <algorithm>

namespace sim {
namespace detail {

namespace {

constexpr win::DWORD kErrorAccessDenied = 5;
constexpr win::DWORD kErrorAlreadyExists = 183;
constexpr win::LRESULT kBroadcastQueryDeny = 0x424D5144;

} // namespace

// What DefWindowProcA does with a system command: SC_CLOSE closes the window, SC_SCREENSAVE
// starts the screen saver over the whole desktop, SC_MONITORPOWER turns the display off or on.
void defaultSystemCommand(win::WPARAM command, win::LPARAM lParam) {
    State& s = state();
    switch (command & 0xFFF0) {
    case win::SC_CLOSE:
        sendToMainWindow(win::WM_CLOSE, 0, 0);
        break;
    case win::SC_SCREENSAVE:
        if (!s.screenSaver) {
            s.screenSaver = true;
            coverScreen(win::RECT{0, 0, 1 << 16, 1 << 16});
        }
        break;
    case win::SC_MONITORPOWER:
        s.displayOff = lParam != -1;
        break;
    default:
        break;
    }
}

bool inputTakenBySystem(const InputEvent& e) {
    State& s = state();
    bool userInput = e.kind == InputEvent::Press || e.kind == InputEvent::Move ||
                     e.kind == InputEvent::Release || e.kind == InputEvent::Key;
    if (!userInput)
        return false;
    s.displayOff = false; // the display wakes and the input goes on to the program
    if (!s.screenSaver || e.kind == InputEvent::Release)
        return false;
    // The screen saver's window takes the input that ends it, a press included: only the
    // release reaches the window below.
    if (e.kind == InputEvent::Press)
        s.buttonDown = true;
    s.screenSaver = false;
    uncoverScreen();
    return true;
}

} // namespace detail

using namespace detail;

void systemCommand(win::WPARAM command, win::LPARAM lParam) {
    sendToMainWindow(win::WM_SYSCOMMAND, command, lParam);
}

bool screenSaverRunning() {
    return state().screenSaver;
}

bool displayOn() {
    return !state().displayOff;
}

void endSession(bool cancelledElsewhere) {
    State& s = state();
    if (!s.window.exists)
        return;
    bool agreed = sendToMainWindow(win::WM_QUERYENDSESSION, 0, 0) != 0;
    bool ending = agreed && !cancelledElsewhere;
    sendToMainWindow(win::WM_ENDSESSION, ending ? 1 : 0, 0);
    if (ending)
        s.processEnded = true;
}

bool processEnded() {
    return state().processEnded;
}

void sleepAndWake(bool userPresent) {
    State& s = state();
    if (!s.window.exists)
        return;
    if (sendToMainWindow(win::WM_POWERBROADCAST, win::PBT_APMQUERYSUSPEND, 0) ==
        kBroadcastQueryDeny)
        return;
    sendToMainWindow(win::WM_POWERBROADCAST, win::PBT_APMSUSPEND, 0);
    pm_lose_calibration(&s.model);
    sendToMainWindow(win::WM_POWERBROADCAST, win::PBT_APMRESUMEAUTOMATIC, 0);
    if (userPresent)
        sendToMainWindow(win::WM_POWERBROADCAST, win::PBT_APMRESUMESUSPEND, 0);
}

void changeDisplay(int width, int height) {
    State& s = state();
    Config& c = s.config;
    if (c.desktopWidth > c.screenWidth)
        c.desktopWidth += width - c.screenWidth;
    if (c.desktopHeight > c.screenHeight)
        c.desktopHeight += height - c.screenHeight;
    c.screenWidth = width;
    c.screenHeight = height;
    redrawScreenForNewMode();
    if (!s.window.exists)
        return;
    invalidateClient(clientRect(), true);
    win::LPARAM size = static_cast<win::LPARAM>((static_cast<win::DWORD>(height) << 16) |
                                                static_cast<win::DWORD>(width));
    sendToMainWindow(win::WM_DISPLAYCHANGE, 32, size);
}

win::DWORD executionState() {
    return state().executionState;
}

} // namespace sim

namespace win {

using namespace sim::detail;

HANDLE CreateMutexA(void*, BOOL initialOwner, const char* name) {
    State& s = state();
    std::string key = name ? name : "";
    sim::Call& call = record("CreateMutexA", key, initialOwner, 0, 0, 0, key);
    const sim::Config& c = s.config;
    bool exists =
        !key.empty() && (key == c.otherProcessMutex ||
                         std::find(s.mutexes.begin(), s.mutexes.end(), key) != s.mutexes.end());
    if (exists && key == c.otherProcessMutex && c.otherProcessInAnotherSession) {
        s.lastError = kErrorAccessDenied;
        return nullptr;
    }
    s.lastError = exists ? kErrorAlreadyExists : 0;
    if (!exists && !key.empty())
        s.mutexes.push_back(key);
    call.b = exists ? 0 : 1;
    return reinterpret_cast<HANDLE>(newHandle());
}

DWORD GetLastError() {
    State& s = state();
    record("GetLastError", std::to_string(s.lastError), s.lastError);
    return s.lastError;
}

DWORD SetThreadExecutionState(DWORD flags) {
    State& s = state();
    record("SetThreadExecutionState", hex(flags), flags);
    DWORD previous = s.executionState;
    s.executionState = flags;
    return previous == 0 ? ES_CONTINUOUS : previous;
}

} // namespace win
