#include "link/error_report.h"

// Stand-in until the error texts and captions arrive.
const char* commandCaption(CommandCaption) { return ""; }
const char* errorText(int) { return ""; }
void reportControllerError(win::HWND window, int code, const char* caption) {
    win::MessageBoxA(window, errorText(code), caption, win::MB_OK);
}
