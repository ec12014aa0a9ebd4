// The message box that tells the user a controller command has failed.
#pragma once

#include "platform/platform.h"

enum CommandCaption { CaptionDiag, CaptionCalIn, CaptionCalOut };

// The caption of a reporting command in the current language (zero-terminated bytes).
const char* commandCaption(CommandCaption which);
// The error text for a code in the current language (zero-terminated bytes).
const char* errorText(int code);

void reportControllerError(win::HWND window, int code, const char* caption);
