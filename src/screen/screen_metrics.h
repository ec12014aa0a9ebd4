// The size of the screen and of a line of text, which every drawing is laid out by.
#pragma once

// Screen size read once by start-up before the window exists; line height of the window's
// default font, measured once when the window is created. Nothing changes them later.
struct ScreenMetrics {
    int screenWidth;
    int screenHeight;
    int lineHeight;
};
extern ScreenMetrics screenMetrics;
