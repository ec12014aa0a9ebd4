// Message boxes and the modal dialog, shown through the wide calls.
#include "platform/win32/native.h"

using native::cast;
using native::seam;
using native::WideText;

namespace {

// The utility's procedure of the dialog being created. The trampoline takes it with the
// first message the new dialog receives (still inside DialogBoxParamW, before any other
// dialog can be created) and keeps it in the dialog's own DWLP_USER slot from then on, so
// dialogs opened from within a dialog keep their own procedures.
win::DLGPROC pendingDialogProc = nullptr;

// The program's message boxes and dialogs whose calls have not returned.
int modalCalls = 0;

struct ModalCall {
    ModalCall() { ++modalCalls; }
    ~ModalCall() { --modalCalls; }
    ModalCall(const ModalCall&) = delete;
    ModalCall& operator=(const ModalCall&) = delete;
};

INT_PTR CALLBACK dialogTrampoline(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    win::DLGPROC proc = reinterpret_cast<win::DLGPROC>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (proc == nullptr) {
        proc = pendingDialogProc;
        if (proc == nullptr)
            return FALSE;
        pendingDialogProc = nullptr;
        ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(proc));
    }
    return proc(seam(dialog), message, wParam, lParam);
}

} // namespace

namespace win {

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    const ModalCall modal;
    const WideText wideText(text, -1);
    const WideText wideCaption(caption, -1);
    if (wideText.ok() && wideCaption.ok())
        return ::MessageBoxW(cast(owner), wideText.str(), wideCaption.str(), type);
    return ::MessageBoxA(cast(owner), text, caption, type);
}

// The templates hold UTF-16 texts anyway; a wide dialog shows them whatever the system's
// ANSI code page is, where an ANSI one would pass them through that code page.
INT_PTR DialogBoxParamA(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                        LPARAM param) {
    const ModalCall modal;
    pendingDialogProc = proc;
    ::DLGPROC trampoline = proc != nullptr ? dialogTrampoline : nullptr;
    INT_PTR result;
    if (IS_INTRESOURCE(templateName)) {
        result = ::DialogBoxParamW(cast(instance), reinterpret_cast<LPCWSTR>(templateName),
                                   cast(owner), trampoline, param);
    } else {
        const WideText wideName(templateName, -1);
        if (wideName.ok())
            result =
                ::DialogBoxParamW(cast(instance), wideName.str(), cast(owner), trampoline, param);
        else
            result =
                ::DialogBoxParamA(cast(instance), templateName, cast(owner), trampoline, param);
    }
    // Still pending if the dialog could not be created.
    pendingDialogProc = nullptr;
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    return ::EndDialog(cast(dialog), result);
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
    return ::CheckRadioButton(cast(dialog), firstId, lastId, checkId);
}

HWND GetDlgItem(HWND dialog, int id) {
    return seam(::GetDlgItem(cast(dialog), id));
}

} // namespace win

int modalWindowsUp() {
    return modalCalls;
}
