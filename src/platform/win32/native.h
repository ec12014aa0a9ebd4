// Shared by the Win32 implementation of the platform calls: <windows.h> next to our own
// mirror types, the casts between the two, and the conversion of the utility's texts.
//
// platform.h must come before <windows.h>: the latter defines macros (TRUE, WM_CREATE,
// LOWORD, ...) that would clash with the constants of namespace win. After this header,
// code refers to the Windows names and macros only, never to win:: constants.
#pragma once

#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <imm.h>

#include <cstddef>

namespace native {

// Structures that cross the layer by pointer have exactly the Windows layout, so that a
// pointer to one may be handed on as a pointer to the other.
#define NATIVE_SAME_SIZE(T) static_assert(sizeof(win::T) == sizeof(::T), "size of " #T)
#define NATIVE_SAME_FIELD(T, f)                                                                    \
    static_assert(offsetof(win::T, f) == offsetof(::T, f) && sizeof(win::T::f) == sizeof(::T::f),  \
                  "field " #T "." #f)

// The field checks compare the sizes of handle and pointer fields on purpose.
// NOLINTBEGIN(bugprone-sizeof-expression)
NATIVE_SAME_SIZE(POINT);
NATIVE_SAME_FIELD(POINT, x);
NATIVE_SAME_FIELD(POINT, y);

NATIVE_SAME_SIZE(SIZE);
NATIVE_SAME_FIELD(SIZE, cx);
NATIVE_SAME_FIELD(SIZE, cy);

NATIVE_SAME_SIZE(RECT);
NATIVE_SAME_FIELD(RECT, left);
NATIVE_SAME_FIELD(RECT, top);
NATIVE_SAME_FIELD(RECT, right);
NATIVE_SAME_FIELD(RECT, bottom);

NATIVE_SAME_SIZE(MSG);
NATIVE_SAME_FIELD(MSG, hwnd);
NATIVE_SAME_FIELD(MSG, message);
NATIVE_SAME_FIELD(MSG, wParam);
NATIVE_SAME_FIELD(MSG, lParam);
NATIVE_SAME_FIELD(MSG, time);
NATIVE_SAME_FIELD(MSG, pt);

NATIVE_SAME_SIZE(PAINTSTRUCT);
NATIVE_SAME_FIELD(PAINTSTRUCT, hdc);
NATIVE_SAME_FIELD(PAINTSTRUCT, fErase);
NATIVE_SAME_FIELD(PAINTSTRUCT, rcPaint);
NATIVE_SAME_FIELD(PAINTSTRUCT, fRestore);
NATIVE_SAME_FIELD(PAINTSTRUCT, fIncUpdate);
NATIVE_SAME_FIELD(PAINTSTRUCT, rgbReserved);

NATIVE_SAME_SIZE(CREATESTRUCTA);
NATIVE_SAME_FIELD(CREATESTRUCTA, lpCreateParams);
NATIVE_SAME_FIELD(CREATESTRUCTA, hInstance);
NATIVE_SAME_FIELD(CREATESTRUCTA, hMenu);
NATIVE_SAME_FIELD(CREATESTRUCTA, hwndParent);
NATIVE_SAME_FIELD(CREATESTRUCTA, cy);
NATIVE_SAME_FIELD(CREATESTRUCTA, cx);
NATIVE_SAME_FIELD(CREATESTRUCTA, y);
NATIVE_SAME_FIELD(CREATESTRUCTA, x);
NATIVE_SAME_FIELD(CREATESTRUCTA, style);
NATIVE_SAME_FIELD(CREATESTRUCTA, lpszName);
NATIVE_SAME_FIELD(CREATESTRUCTA, lpszClass);
NATIVE_SAME_FIELD(CREATESTRUCTA, dwExStyle);
// NOLINTEND(bugprone-sizeof-expression)

#undef NATIVE_SAME_FIELD
#undef NATIVE_SAME_SIZE

// Scalars handed through by pointer.
static_assert(sizeof(win::DWORD) == sizeof(::DWORD), "DWORD");
static_assert(sizeof(win::LONG) == sizeof(::LONG), "LONG");

// Scalars handed through by value, message parameters and results among them, whose width
// follows the pointer's on x86 and x64 alike.
static_assert(sizeof(win::WPARAM) == sizeof(::WPARAM), "WPARAM");
static_assert(sizeof(win::LPARAM) == sizeof(::LPARAM), "LPARAM");
static_assert(sizeof(win::LRESULT) == sizeof(::LRESULT), "LRESULT");
static_assert(sizeof(win::INT_PTR) == sizeof(::INT_PTR), "INT_PTR");
static_assert(sizeof(win::HANDLE) == sizeof(::HANDLE), "HANDLE");
static_assert(sizeof(win::BOOL) == sizeof(::BOOL) && sizeof(win::UINT) == sizeof(::UINT),
              "BOOL and UINT");

inline ::POINT* cast(win::POINT* p) {
    return reinterpret_cast<::POINT*>(p);
}
inline ::SIZE* cast(win::SIZE* p) {
    return reinterpret_cast<::SIZE*>(p);
}
inline const ::RECT* cast(const win::RECT* p) {
    return reinterpret_cast<const ::RECT*>(p);
}
inline ::MSG* cast(win::MSG* p) {
    return reinterpret_cast<::MSG*>(p);
}
inline const ::MSG* cast(const win::MSG* p) {
    return reinterpret_cast<const ::MSG*>(p);
}
inline ::PAINTSTRUCT* cast(win::PAINTSTRUCT* p) {
    return reinterpret_cast<::PAINTSTRUCT*>(p);
}
inline const ::PAINTSTRUCT* cast(const win::PAINTSTRUCT* p) {
    return reinterpret_cast<const ::PAINTSTRUCT*>(p);
}
inline ::DWORD* cast(win::DWORD* p) {
    return reinterpret_cast<::DWORD*>(p);
}

// Handles: the same values under distinct pointer types on each side.
inline ::HWND cast(win::HWND h) {
    return reinterpret_cast<::HWND>(h);
}
inline ::HDC cast(win::HDC h) {
    return reinterpret_cast<::HDC>(h);
}
inline ::HINSTANCE cast(win::HINSTANCE h) {
    return reinterpret_cast<::HINSTANCE>(h);
}
inline ::HCURSOR cast(win::HCURSOR h) {
    return reinterpret_cast<::HCURSOR>(h);
}
inline ::HICON cast(win::HICON h) {
    return reinterpret_cast<::HICON>(h);
}
inline ::HBRUSH cast(win::HBRUSH h) {
    return reinterpret_cast<::HBRUSH>(h);
}
inline ::HMENU cast(win::HMENU h) {
    return reinterpret_cast<::HMENU>(h);
}
inline ::HIMC cast(win::HIMC h) {
    return reinterpret_cast<::HIMC>(h);
}

inline win::HWND seam(::HWND h) {
    return reinterpret_cast<win::HWND>(h);
}
inline win::HDC seam(::HDC h) {
    return reinterpret_cast<win::HDC>(h);
}
inline win::HINSTANCE seam(::HINSTANCE h) {
    return reinterpret_cast<win::HINSTANCE>(h);
}
inline win::HCURSOR seam(::HCURSOR h) {
    return reinterpret_cast<win::HCURSOR>(h);
}
inline win::HIMC seam(::HIMC h) {
    return reinterpret_cast<win::HIMC>(h);
}

// One of the utility's texts, bytes in code page 932 (pure ASCII included), as UTF-16 for
// the wide calls, so that Japanese reads right whatever the system's ANSI code page is.
// The texts are short; one that does not fit, or does not convert, reports !ok() and the
// caller falls back to the ANSI call with the original bytes.
class WideText {
  public:
    static constexpr int kCapacity = 256; // UTF-16 units, terminating zero included

    // count < 0: the text runs up to its terminating zero. A null text stays null.
    WideText(const char* bytes, int count);

    bool ok() const { return ok_; }
    const wchar_t* str() const { return null_ ? nullptr : units_; } // zero-terminated
    int length() const { return length_; }                          // without the zero

  private:
    wchar_t units_[kCapacity];
    int length_;
    bool ok_;
    bool null_;
};

} // namespace native
