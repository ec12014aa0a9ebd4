// The thin layer between the utility and the Windows calls it makes.
//
// Every function here is named after, and behaves like, the Win32 call of the same name.
// Two implementations stand behind this one header:
//   - src/platform/win32: the real calls (MinGW-w64 or MSVC),
//   - src/platform/host:  a simulation of the parts of Windows the utility can observe,
//                         used by the tests on Linux.
// The utility's own code includes this header and never <windows.h>.
//
// Types mirror the Win32 ones in name and, where a pointer to them crosses the seam
// (MSG, PAINTSTRUCT, CREATESTRUCTA, RECT, SIZE, POINT), in layout as well.
#pragma once

#include <cstdint>

namespace win {

typedef int BOOL;
typedef unsigned int UINT;
typedef std::uint32_t DWORD;
typedef std::uint16_t WORD;
typedef std::uint8_t BYTE;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef std::intptr_t INT_PTR;
typedef DWORD COLORREF;
typedef std::int32_t LONG;

// Distinct opaque handle types, as windows.h declares them.
typedef struct HWNDTag* HWND;
typedef struct HDCTag* HDC;
typedef struct HINSTANCETag* HINSTANCE;
typedef struct HCURSORTag* HCURSOR;
typedef struct HICONTag* HICON;
typedef struct HBRUSHTag* HBRUSH;
typedef struct HMENUTag* HMENU;
typedef struct HIMCTag* HIMC;
typedef void* HGDIOBJ;
typedef void* HANDLE;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Calling convention of procedures that Windows calls back. The Win32 side reaches them
// through trampolines of its own, so plain C++ functions are enough on both sides.
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
    LONG x;
    LONG y;
};

struct SIZE {
    LONG cx;
    LONG cy;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct CREATESTRUCTA {
    void* lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    const char* lpszName;
    const char* lpszClass;
    DWORD dwExStyle;
};

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
    HICON hIconSm;
};

// Only the fields the utility reads; the Win32 side copies them from the real structure.
struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
};

// Messages.
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUERYENDSESSION = 0x0011;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_ENDSESSION = 0x0016;
constexpr UINT WM_CANCELMODE = 0x001F;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_POWERBROADCAST = 0x0218;
constexpr UINT WM_TABLET_QUERYSYSTEMGESTURESTATUS = 0x02CC;
constexpr UINT WM_USER = 0x0400;

// System commands (WM_SYSCOMMAND's wParam, whose low four bits Windows uses itself).
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_SCREENSAVE = 0xF140;
constexpr WPARAM SC_MONITORPOWER = 0xF170;

// Power events (WM_POWERBROADCAST's wParam).
constexpr WPARAM PBT_APMQUERYSUSPEND = 0x0000;
constexpr WPARAM PBT_APMSUSPEND = 0x0004;
constexpr WPARAM PBT_APMRESUMECRITICAL = 0x0006;
constexpr WPARAM PBT_APMRESUMESUSPEND = 0x0007;
constexpr WPARAM PBT_APMRESUMEAUTOMATIC = 0x0012;

// Virtual keys.
constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM VK_DELETE = 0x2E;
constexpr WPARAM VK_NUMPAD0 = 0x60;
constexpr WPARAM VK_NUMPAD1 = 0x61;
constexpr WPARAM VK_F4 = 0x73;

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_MAXIMIZE = 0x01000000u;
constexpr DWORD WS_EX_TOPMOST = 0x00000008u;

// System metrics, stock objects, show values, message boxes.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int WHITE_BRUSH = 0;
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWDEFAULT = 10;
constexpr int SW_FORCEMINIMIZE = 11;
constexpr UINT MB_OK = 0x00000000u;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr WORD BN_CLICKED = 0;
constexpr WORD BN_DBLCLK = 5;

// Files, devices, synchronisation, power.
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ES_SYSTEM_REQUIRED = 0x00000001u;
constexpr DWORD ES_DISPLAY_REQUIRED = 0x00000002u;
constexpr DWORD ES_CONTINUOUS = 0x80000000u;
const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

inline const char* MAKEINTRESOURCEA(std::uintptr_t id) {
    return reinterpret_cast<const char*>(id);
}
constexpr std::uintptr_t IDC_ARROW_ID = 32512;

inline WORD LOWORD(std::uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
inline WORD HIWORD(std::uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
inline WPARAM MAKEWPARAM(WORD lo, WORD hi) {
    return static_cast<WPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}

// USER32
WORD RegisterClassExA(const WNDCLASSEXA* wc);
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
int GetSystemMetrics(int index);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);
BOOL ShowWindow(HWND window, int show);
BOOL UpdateWindow(HWND window);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL DestroyWindow(HWND window);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
BOOL MessageBeep(UINT type);
// Text and caption are byte strings in the ANSI code page of the utility's texts
// (code page 932 for Japanese); the Win32 side shows them through the wide call so that
// Japanese reads right whatever the system's ANSI code page is.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
INT_PTR DialogBoxParamA(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                        LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
HWND GetDlgItem(HWND dialog, int id);
HWND SetFocus(HWND window);
int ShowCursor(BOOL show);
BOOL SetForegroundWindow(HWND window);
HWND FindWindowA(const char* className, const char* windowName);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetPropA(HWND window, const char* name, HANDLE data);
HANDLE RemovePropA(HWND window, const char* name);

// IMM32 (a system DLL on every Windows from XP on)
HIMC ImmAssociateContext(HWND window, HIMC context);

// GDI32
HGDIOBJ GetStockObject(int index);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size);
BOOL TextOutA(HDC dc, int x, int y, const char* text, int count);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);

// KERNEL32
HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                     DWORD* returned, void* overlapped);
BOOL CloseHandle(HANDLE handle);
DWORD GetProfileStringA(const char* section, const char* key, const char* fallback, char* buffer,
                        DWORD size);
HANDLE CreateMutexA(void* security, BOOL initialOwner, const char* name);
DWORD GetLastError();
DWORD SetThreadExecutionState(DWORD flags);

} // namespace win

// The program's own message boxes and dialogs that are up: calls of this layer's MessageBoxA
// and DialogBoxParamA that have not returned. While one is up, Windows runs that window's loop
// and has disabled the main window: nothing the user does reaches the main window, but what
// other programs post to it, and what Windows itself sends it, still arrive, through that loop.
int modalWindowsUp();

// The utility's entry, called by the process's entry point (Win32) or by a test (host) with the
// instance handle and the show value the process was started with; returns the exit code.
int runProgram(win::HINSTANCE instance, int showValue);
