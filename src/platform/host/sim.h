// Test-side controls of the host simulation of Windows (platform.h implemented on Linux).
//
// The simulation shows what a user of the real program would see and do: the screen's
// pixels, message boxes and dialogs, the cursor display counter, the bytes that reached the
// controller, and a script of user input delivered whenever the program waits for a message.
#pragma once

#include "platform/platform.h"
#include "controller/panel_model.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

// ---- set-up ----------------------------------------------------------------------------

struct Config {
    int screenWidth = 1024;
    int screenHeight = 768;
    int charWidth = 8;       // text metrics: every byte is this wide ...
    int textHeight = 16;     // ... and a line this high
    int externalLeading = 0;
    bool hasLanguageValue = false; // profile value intl/sLanguage present?
    std::string language;          // its text when present
    int cursorCounter = 0;         // the platform's cursor display counter at start
    bool devicePresent = true;     // the driver's device can be opened
};

// Resets the whole simulation (window, queue, records, controller) to a fresh process.
void reset(const Config& config = Config());
const Config& config();

// ---- the controller behind \\.\PNLDRV ----------------------------------------------------

PanelModel& controller();            // script it, read its records
std::vector<std::string> requests(); // every request so far as hex, "84 1B 2C ..."

// ---- user input --------------------------------------------------------------------------

// Input the simulated user performs when the program next waits for a message with an
// empty queue (one event per wait, in order). Mouse positions are screen pixels.
void pressAt(int x, int y);
void moveTo(int x, int y);
void releaseAt(int x, int y);
void touch(int x, int y); // press then release
void key(int virtualKey, bool autoRepeat = false);
void closeWindow();            // WM_CLOSE, as Alt+F4 produces
void focusAway();              // the window loses, then regains, the keyboard focus
// Runs fn at that point of the script instead of an input event (to look at the screen).
void then(std::function<void()> fn);
size_t pendingInput();

// When the queue is empty and no input is left, GetMessageA returns 0 as if WM_QUIT had
// come, so that a test never hangs; starved() tells whether that happened.
bool starved();

// Runs the real program (runProgram) from start to exit and returns its exit code.
int runToExit(int showValue = win::SW_SHOWDEFAULT);

// ---- message boxes -----------------------------------------------------------------------

struct MessageBoxRecord {
    win::HWND owner;
    std::string text;    // exact bytes
    std::string caption; // exact bytes
    win::UINT type;
    int cursorCounterWhileUp;
};
const std::vector<MessageBoxRecord>& messageBoxes();
// Runs fn while the next message box is up (before the user presses OK).
void whileNextBoxIsUp(std::function<void()> fn);

// ---- dialogs -----------------------------------------------------------------------------

struct DialogControl {
    int id;
    std::string className; // "Button", "Static"
    std::uint32_t style;
    std::string text;      // as written in the template source (UTF-8)
    bool checked;
};
struct OpenDialog {
    std::string templateName;
    std::vector<DialogControl> controls;
    int focusId;           // control holding the focus, 0 if none
    bool ended;
    win::INT_PTR result;
};
// The user's actions in the next dialog, performed in order after WM_INITDIALOG.
struct DialogAction {
    enum Kind { Click, DoubleClick, Key, Inspect } kind;
    int value;                                   // control id or virtual key
    std::function<void(const OpenDialog&)> inspect;
};
void scriptDialog(std::vector<DialogAction> actions);
DialogAction click(int id);
DialogAction doubleClick(int id);
DialogAction dialogKey(int virtualKey);
DialogAction inspect(std::function<void(const OpenDialog&)> fn);
const std::vector<OpenDialog>& dialogs(); // every dialog shown, as it was when it closed

// ---- the screen --------------------------------------------------------------------------

win::COLORREF pixel(int x, int y);                   // 0x00BBGGRR, white background
int countPixels(int x0, int y0, int x1, int y1, win::COLORREF colour); // [x0,x1) x [y0,y1)
bool windowExists();
win::RECT windowRect();
win::DWORD windowStyle();
win::DWORD windowExStyle();
std::string windowText();
int shownWith(); // show value ShowWindow received, -1 if never called

struct TextRecord {
    int x, y;
    std::string bytes;
};
const std::vector<TextRecord>& texts(); // every TextOutA, in order

// ---- recorded calls ----------------------------------------------------------------------

struct Call {
    std::string name;     // the Win32 call's name
    std::int64_t a = 0, b = 0, c = 0, d = 0; // its main arguments (call-specific)
    std::string bytes;    // byte payload (text, request), if any
};
const std::vector<Call>& calls();
// The recorded calls whose names are in the list, formatted "Name a b ..." per call-specific
// rules (DeviceIoControl shows the request hex; MessageBeep its type in hex), for
// comparison with an expected table.
std::vector<std::string> callsNamed(const std::vector<std::string>& names);

int cursorCounter();
void setCursorCounter(int value); // another program moves the counter

// Drawing contexts from GetDC not yet released, paints not yet ended, device handles open.
int openDrawingContexts();
int openPaints();
int openDeviceHandles();

} // namespace sim
