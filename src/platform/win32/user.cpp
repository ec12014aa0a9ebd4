// Window classes, windows, the message loop, painting, the cursor and the input method.
#include "platform/win32/native.h"

using native::cast;
using native::seam;

namespace {

// Every class registered through this layer gets the one trampoline below as its Windows
// procedure; the utility's own procedure is kept here under the class atom.
struct ClassProc {
    ATOM atom;
    win::WNDPROC proc;
};
constexpr int kMaxClasses = 8;
ClassProc classProcs[kMaxClasses];
int classCount = 0;

win::WNDPROC procOfClass(ATOM atom) {
    for (int i = 0; i < classCount; ++i) {
        if (classProcs[i].atom == atom)
            return classProcs[i].proc;
    }
    return nullptr;
}

LRESULT CALLBACK windowTrampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const ATOM atom = static_cast<ATOM>(::GetClassWord(window, GCW_ATOM));
    const win::WNDPROC proc = procOfClass(atom);
    if (proc == nullptr)
        return ::DefWindowProcA(window, message, wParam, lParam);
    // WM_CREATE's lParam points to a CREATESTRUCTA, whose layout both sides share.
    return proc(seam(window), message, wParam, lParam);
}

} // namespace

namespace win {

WORD RegisterClassExA(const WNDCLASSEXA* wc) {
    if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (classCount == kMaxClasses) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    ::WNDCLASSEXA nativeClass = {};
    nativeClass.cbSize = sizeof nativeClass;
    nativeClass.style = wc->style;
    nativeClass.lpfnWndProc = windowTrampoline;
    nativeClass.cbClsExtra = wc->cbClsExtra;
    nativeClass.cbWndExtra = wc->cbWndExtra;
    nativeClass.hInstance = cast(wc->hInstance);
    nativeClass.hIcon = cast(wc->hIcon);
    nativeClass.hCursor = cast(wc->hCursor);
    nativeClass.hbrBackground = cast(wc->hbrBackground);
    nativeClass.lpszMenuName = wc->lpszMenuName;
    nativeClass.lpszClassName = wc->lpszClassName;
    nativeClass.hIconSm = cast(wc->hIconSm);
    const ATOM atom = ::RegisterClassExA(&nativeClass);
    if (atom != 0) {
        classProcs[classCount].atom = atom;
        classProcs[classCount].proc = wc->lpfnWndProc;
        ++classCount;
    }
    return atom;
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
    return seam(::LoadCursorA(cast(instance), name));
}

int GetSystemMetrics(int index) {
    return ::GetSystemMetrics(index);
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param) {
    return seam(::CreateWindowExA(exStyle, className, windowName, style, x, y, width, height,
                                  cast(parent), cast(menu), cast(instance), param));
}

BOOL ShowWindow(HWND window, int show) {
    return ::ShowWindow(cast(window), show);
}

BOOL UpdateWindow(HWND window) {
    return ::UpdateWindow(cast(window));
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(cast(window), message, wParam, lParam);
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
    return ::GetMessageA(cast(msg), cast(window), filterMin, filterMax);
}

BOOL TranslateMessage(const MSG* msg) {
    return ::TranslateMessage(cast(msg));
}

LRESULT DispatchMessageA(const MSG* msg) {
    return ::DispatchMessageA(cast(msg));
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(cast(window), message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    ::PostQuitMessage(exitCode);
}

BOOL DestroyWindow(HWND window) {
    return ::DestroyWindow(cast(window));
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    return seam(::BeginPaint(cast(window), cast(paint)));
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    return ::EndPaint(cast(window), cast(paint));
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    return ::InvalidateRect(cast(window), cast(rect), erase);
}

HDC GetDC(HWND window) {
    return seam(::GetDC(cast(window)));
}

int ReleaseDC(HWND window, HDC dc) {
    return ::ReleaseDC(cast(window), cast(dc));
}

BOOL MessageBeep(UINT type) {
    return ::MessageBeep(type);
}

HWND SetFocus(HWND window) {
    return seam(::SetFocus(cast(window)));
}

int ShowCursor(BOOL show) {
    return ::ShowCursor(show);
}

BOOL SetForegroundWindow(HWND window) {
    return ::SetForegroundWindow(cast(window));
}

HWND FindWindowA(const char* className, const char* windowName) {
    return seam(::FindWindowA(className, windowName));
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return ::MoveWindow(cast(window), x, y, width, height, repaint);
}

BOOL SetPropA(HWND window, const char* name, HANDLE data) {
    return ::SetPropA(cast(window), name, data);
}

HANDLE RemovePropA(HWND window, const char* name) {
    return ::RemovePropA(cast(window), name);
}

HIMC ImmAssociateContext(HWND window, HIMC context) {
    return seam(::ImmAssociateContext(cast(window), cast(context)));
}

} // namespace win
