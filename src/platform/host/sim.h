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
#include <string_view>
#include <vector>

namespace sim {

// ---- set-up ----------------------------------------------------------------------------

struct Config {
    int screenWidth = 1024;
    int screenHeight = 768;
    int charWidth = 8;   // text metrics: every byte is this wide ...
    int textHeight = 16; // ... and a line this high
    int externalLeading = 0;
    bool hasLanguageValue = false; // profile value intl/sLanguage present?
    std::string language;          // its text when present
    int cursorCounter = 0;         // the platform's cursor display counter at start
    bool devicePresent = true;     // the driver's device can be opened
    // The desktop across all monitors, at least the screen: the primary monitor, whose size
    // GetSystemMetrics reports, is its top-left part, and GetDC(nullptr) draws on all of it.
    int desktopWidth = 0;
    int desktopHeight = 0;
    // Another process already running beside the program: a named mutex it holds (empty:
    // none), made in another user's session, where its default rights refuse this one
    // (ERROR_ACCESS_DENIED), and the class of its top-level window, which FindWindowA finds
    // from this session only.
    std::string otherProcessMutex;
    bool otherProcessInAnotherSession = false;
    std::string otherProcessWindowClass;
    // Each recorded call's text (Call::text, which callsNamed() compares); a long series of
    // runs that reads only the calls' names and numbers may go faster without it.
    bool callText = true;
};

// Resets the whole simulation (window, queue, records, controller) to a fresh process.
void reset(const Config& config = Config());
const Config& config();

// Misuse of the simulation that it noticed (a dialog script that ran out before the dialog
// ended, actions left over, an unknown drawing context released, ...). A test that wants a
// clean run expects this to be empty.
const std::vector<std::string>& errors();

// The instance handle runToExit() passes to the program (the classic 0x00400000).
win::HINSTANCE programInstance();
// The last error code a failing call set, as GetLastError would report it.
win::DWORD lastError();

// ---- the controller behind \\.\PNLDRV ----------------------------------------------------

PanelModel& controller();            // script it, read its records
std::vector<std::string> requests(); // every request so far as hex, "84 1B 2C ..."

// ---- user input --------------------------------------------------------------------------

// Input the simulated user performs when the program next waits for a message with an
// empty queue and nothing to paint (one event per wait, in order): the user waits for the
// screen to settle before acting. Input scripted inside rushed() does not wait. Mouse positions are
// screen pixels; a press or move carries MK_LBUTTON in wParam while the button is down, and
// lParam holds the position relative to the window (x low word, y high word). A key is one
// WM_KEYDOWN (no WM_KEYUP or WM_CHAR), lParam repeat count 1 and bit 30 for autoRepeat.
// Input at a moment when no window exists is lost, as a touch on an empty screen would be.
// While a message box or dialog is up, input goes to it, as Windows routes it when the
// thread reads it: touches are lost (the owner is disabled), keys go to the box (Enter, Esc
// or Space answer it) or to the dialog's focused control, closeWindow() closes the box or
// cancels the dialog, and then() steps run inside the modal loop.
void pressAt(int x, int y);
void moveTo(int x, int y);
void releaseAt(int x, int y);
void touch(int x, int y); // press then release
void key(int virtualKey, bool autoRepeat = false);
void closeWindow(); // WM_CLOSE, as Alt+F4 produces
void focusAway();   // the window loses, then regains, the keyboard focus:
                    // WM_KILLFOCUS then WM_SETFOCUS, sent during the wait
// Runs fn at that point of the script instead of an input event (to look at the screen).
void then(std::function<void()> fn);
// Input (and then() steps) scripted inside `script` comes without waiting for the screen:
// each event is queued as soon as the one before it has been taken, so it reaches the
// window ahead of a pending paint, as on Windows, where a thread gets sent messages first,
// then posted messages, then input, and WM_PAINT only when none of these is waiting.
void rushed(const std::function<void()>& script);
size_t pendingInput();
// Another program posts a message to the main window now (from a then() step or while a box
// is up, say); it is not recorded as the program's call. Nothing happens without a window.
void postFromAnotherProgram(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
// Another window passes over an area of the screen and goes away again, now: the area shows
// kFaceColour until the main window repaints what it uncovered, as after a box.
void windowPassesOver(const win::RECT& screenArea);

// When the queue is empty and no input is left, GetMessageA returns 0 as if WM_QUIT had
// come, so that a test never hangs; starved() tells whether that happened.
bool starved();

// Runs the real program (runProgram) from start to exit and returns its exit code.
int runToExit(int showValue = win::SW_SHOWDEFAULT);

// ---- what Windows itself does around the program ------------------------------------------
// Each sends its messages to the main window now (from a then() step, say), as Windows sends
// them while the program waits; nothing happens without a window.

// WM_SYSCOMMAND, as the screen saver's idle time or the power plan sends it. What
// DefWindowProcA makes of it: SC_SCREENSAVE starts the screen saver, which covers the screen
// until the user's next press, key or move, which it takes for itself (a press's release
// then reaches the window); SC_MONITORPOWER turns the display off (lParam 1 or 2) or on (-1),
// and the next input turns it on again and is delivered.
void systemCommand(win::WPARAM command, win::LPARAM lParam);
bool screenSaverRunning();
bool displayOn();
// A log-off or shut-down: WM_QUERYENDSESSION, then WM_ENDSESSION, TRUE if the program agreed
// and no other program cancelled (cancelledElsewhere). After WM_ENDSESSION(TRUE) has
// returned, the process is ended: its loops end, and nothing it does afterwards reaches the
// controller.
void endSession(bool cancelledElsewhere = false);
bool processEnded();
// Sleep and wake: PBT_APMQUERYSUSPEND (a program that answers BROADCAST_QUERY_DENY keeps
// the machine awake, as on XP), PBT_APMSUSPEND, the controller loses its calibration (it
// refuses CAL-POINT and CAL-OUT until a CAL-IN), PBT_APMRESUMEAUTOMATIC and, when a user
// is there, PBT_APMRESUMESUSPEND.
void sleepAndWake(bool userPresent);
// A new display mode (a rotation, another resolution): GetSystemMetrics reports the new
// size, the desktop keeps its margin around it, the screen is redrawn (desktop colour where
// no window is, every window invalid) and the main window gets WM_DISPLAYCHANGE.
constexpr win::COLORREF kDesktopColour = 0x808000;
void changeDisplay(int width, int height);
// The flags of the program's latest SetThreadExecutionState (0 before any).
win::DWORD executionState();

// ---- message boxes -----------------------------------------------------------------------

struct MessageBoxRecord {
    win::HWND owner;
    std::string text;    // exact bytes
    std::string caption; // exact bytes
    win::UINT type;
    int cursorCounterWhileUp;
    win::RECT rect; // on the screen, laid out about as Windows does, centred on the screen
};
const std::vector<MessageBoxRecord>& messageBoxes();
// Runs fn while the next message box is up, before any user input reaches the box. Every fn
// given before that box opens runs then, in order.
void whileNextBoxIsUp(std::function<void()> fn);
// A message box or dialog disables its owner and runs its own loop: the main window's sent
// and posted messages and its paints still reach its procedure there. Opening one sends
// WM_KILLFOCUS to the main window if it had the focus; closing it sends WM_SETFOCUS back. The
// user answers a box with a key, or, once no input is left, with OK. The loop also ends when
// the owner is destroyed (the box or dialog goes with it; a box then returns 0, a dialog 0)
// or WM_QUIT comes, which stays posted for the loop outside. A box or dialog covers its
// rectangle of the screen with the face colour kFaceColour while it is up; the main window
// draws nothing there meanwhile, and when it closes the area it uncovered becomes invalid (to
// be erased), so that the main window repaints just that part.
constexpr win::COLORREF kFaceColour = 0xC0C0C0;
// A message box or dialog is up: its call has not returned.
bool modalWindowUp();

// ---- dialogs -----------------------------------------------------------------------------

struct DialogControl {
    int id;
    std::string className; // "Button", "Static"
    std::uint32_t style;
    std::string text; // as written in the template source (UTF-8)
    bool checked;
};
struct OpenDialog {
    std::string templateName;
    std::vector<DialogControl> controls;
    int focusId; // control holding the focus, 0 if none
    bool ended;
    win::INT_PTR result;
    win::RECT rect; // on the screen: the template's place and size, and a 3-pixel frame

    std::vector<int> checkedIds() const; // ids of the checked buttons, in template order
};
// The user's actions in the next dialog, performed in order after WM_INITDIALOG.
struct DialogAction {
    enum Kind { Click, DoubleClick, Key, Inspect } kind;
    int value; // control id or virtual key
    std::function<void(const OpenDialog&)> inspect;
};
// Each call scripts one dialog: the first call the next dialog, the second the one after.
// Click sends WM_COMMAND(MAKEWPARAM(id, BN_CLICKED), control) and gives the button the
// focus; plain radio buttons do not check themselves. DoubleClick on a plain radio button
// sends BN_CLICKED then BN_DBLCLK; on other buttons it is two clicks. Key: VK_RETURN
// clicks the focused push button, else the default push button (IDOK if there is none);
// VK_ESCAPE sends IDCANCEL; VK_SPACE clicks the focused button; VK_TAB moves the focus to
// the next WS_TABSTOP control; the arrow keys are not simulated; other keys do nothing. The
// scripted actions come before the user's scripted input, which then goes to the dialog. A
// script and input that run out before EndDialog end the dialog with -1 and note an error;
// actions left after EndDialog are noted too.
void scriptDialog(std::vector<DialogAction> actions);
DialogAction click(int id);
DialogAction doubleClick(int id);
DialogAction dialogKey(int virtualKey);
DialogAction inspect(std::function<void(const OpenDialog&)> fn);
const std::vector<OpenDialog>& dialogs(); // every dialog shown, as it was when it closed
size_t pendingDialogScripts();            // scripts not yet taken by a dialog

// ---- the screen --------------------------------------------------------------------------

// The screen starts white. Windows draw at their place on it; what a destroyed window drew
// stays. Off the desktop pixel() gives CLR_INVALID (0xFFFFFFFF).
win::COLORREF pixel(int x, int y); // 0x00BBGGRR, white background
int countPixels(int x0, int y0, int x1, int y1, win::COLORREF colour); // [x0,x1) x [y0,y1)
// Pixels the program's drawing set outside its window (all of them while it has none).
long long pixelsDrawnOutsideWindow();
bool windowExists();
win::RECT windowRect(); // screen coordinates; the last window's, also once it is destroyed
win::DWORD windowStyle();
win::DWORD windowExStyle();
std::string windowText();
int shownWith();        // show value ShowWindow received, -1 if never called
win::HWND mainWindow(); // the window's handle, nullptr if none exists
bool windowHasFocus();
bool windowNeedsPaint(); // part of the window is invalid
// The input method's context the window has (the default one from its creation on, until
// ImmAssociateContext takes it away), and a property SetPropA gave it (nullptr if none).
bool windowHasInputContext();
win::HANDLE windowProperty(const std::string& name);

// A window class as RegisterClassExA stored it. The stock brush and system cursor handles
// that GetStockObject and LoadCursorA return are recognised (-1 and 0 when not).
struct WindowClassRecord {
    std::string name;
    win::UINT style;
    win::WNDPROC proc;
    win::HINSTANCE instance;
    win::HBRUSH background;
    win::HCURSOR cursor;
    int backgroundStockObject; // GetStockObject index of the background brush, or -1
    std::uintptr_t cursorId;   // system cursor id (32512 for IDC_ARROW), or 0
};
const std::vector<WindowClassRecord>& windowClasses();
// The handles GetStockObject and LoadCursorA(nullptr, id) return; not recorded as calls.
win::HGDIOBJ stockObject(int index);
win::HCURSOR systemCursor(std::uintptr_t id);

struct TextRecord {
    int x, y;
    std::string bytes;
};
const std::vector<TextRecord>& texts(); // every TextOutA, in order

// ---- recorded calls ----------------------------------------------------------------------

// Every platform call the program made, in order (calls the simulation makes on its own,
// such as the modal loops' dispatching, are not recorded).
//
// a, b, c, d hold the call's numeric arguments in order, leaving out a leading window,
// drawing context or device handle; bytes holds its string or buffer; text is the line
// callsNamed() gives. Numbers in text are decimal unless marked "hex" (upper case, no 0x).
//
//   call                   a, b, c, d                       text
//   RegisterClassExA       atom returned                    RegisterClassExA <class name>
//   LoadCursorA            resource id (0 for a name)       LoadCursorA <id or name>
//   GetSystemMetrics       index, result                    GetSystemMetrics <index>
//   CreateWindowExA        exStyle, style, x, y             CreateWindowExA <class name>
//   ShowWindow             show value                       ShowWindow <show>
//   UpdateWindow           -                                UpdateWindow
//   PostMessageA           message, wParam, lParam          PostMessageA <msg hex4> <w> <l>
//   GetMessageA            message delivered, result        GetMessageA <msg hex4>
//   TranslateMessage       message, wParam, lParam          TranslateMessage <msg hex4>
//   DispatchMessageA       message, wParam, lParam          DispatchMessageA <msg hex4>
//   DefWindowProcA         message, wParam, lParam          DefWindowProcA <msg hex4>
//   PostQuitMessage        exit code                        PostQuitMessage <code>
//   DestroyWindow          -                                DestroyWindow
//   BeginPaint             rcPaint left, top, right, bottom BeginPaint
//   EndPaint               -                                EndPaint
//   InvalidateRect         erase, 1 if a rect was given     InvalidateRect * <erase>
//                                                           InvalidateRect <l t r b> <erase>
//   GetDC / ReleaseDC      - / result                       GetDC / ReleaseDC
//   MessageBeep            type                             MessageBeep <type hex>
//   MessageBoxA            type (caption in bytes)          MessageBoxA <caption>
//   DialogBoxParamA        param, result                    DialogBoxParamA <template>
//   EndDialog              result                           EndDialog <result>
//   CheckRadioButton       first, last, checked id          CheckRadioButton <f> <l> <id>
//   GetDlgItem             id                               GetDlgItem <id>
//   SetFocus               control id (0: none or a window) SetFocus <id>
//   ShowCursor             show (0/1), new counter          ShowCursor <show>
//   SetForegroundWindow    1 for another process's window   SetForegroundWindow
//   FindWindowA            1 if a window was found          FindWindowA <class>
//   MoveWindow             x, y, width, height              MoveWindow <x> <y> <w> <h>
//   SetPropA / RemovePropA data (hex) / -                   SetPropA <name> <data hex>
//                                                           RemovePropA <name>
//   ImmAssociateContext    1 if a context was given         ImmAssociateContext <0 or 1>
//   GetStockObject         index                            GetStockObject <index>
//   GetTextMetricsA        -                                GetTextMetricsA
//   GetTextExtentPoint32A  count (text in bytes)            GetTextExtentPoint32A <count>
//   TextOutA               x, y, count (text in bytes)      TextOutA <x> <y> <count>
//   MoveToEx / LineTo      x, y                             MoveToEx <x> <y> / LineTo <x> <y>
//   SetPixel               x, y, colour, result             SetPixel <x> <y> <colour hex6>
//   CreateFileA            access, share, security, disp.   CreateFileA <path>
//   DeviceIoControl        code, in size, out size, result  DeviceIoControl <request hex>
//   CloseHandle            result                           CloseHandle
//   GetProfileStringA      size, result                     GetProfileStringA <sect> <key>
//   CreateMutexA           initial owner, 1 if made          CreateMutexA <name>
//   GetLastError           result                           GetLastError <result>
//   SetThreadExecutionState flags (hex)                     SetThreadExecutionState <hex>
//
// For example "DeviceIoControl 84 1B 2C 01 12 1E 73 01 69 1D", "MessageBeep FFFFFFFF",
// "CreateFileA \\.\PNLDRV" (the path's exact bytes), "PostMessageA 0400 0 0".
struct Call {
    std::string_view name;                   // the Win32 call's name
    std::int64_t a = 0, b = 0, c = 0, d = 0; // its main arguments (call-specific)
    std::string bytes;                       // byte payload (text, request), if any
    std::string text;                        // the call as callsNamed() shows it
};
const std::vector<Call>& calls();
// The recorded calls whose names are in the list, as their text, for comparison with an
// expected table.
std::vector<std::string> callsNamed(const std::vector<std::string>& names);

int cursorCounter();
void setCursorCounter(int value); // another program moves the counter

// Drawing contexts from GetDC not yet released, paints not yet ended, device handles open.
int openDrawingContexts();
int openPaints();
int openDeviceHandles();

// ---- watching the window procedure ---------------------------------------------------------

// One message that the main window's procedure gets, sent or dispatched, nested or not.
struct Delivery {
    win::UINT message;
    win::WPARAM wParam;
    win::LPARAM lParam;
    int depth;     // calls of the window procedure in progress, this one included (1: outermost)
    int modal;     // MessageBoxA and DialogBoxParamA calls in progress
    bool returned; // false right before the procedure runs, true right after it has returned
};
// fn sees every message of the main window twice, before and after its procedure handles it
// (WM_CREATE and WM_DESTROY included). One watcher at a time; reset() removes it.
void watchWindowProcedure(std::function<void(const Delivery&)> fn);

} // namespace sim
