// Showing and hiding the mouse cursor over the platform's display counter.
#pragma once

struct CursorVisibility {
    int cursorShown; // the program regards the cursor as shown
    int hideDepth;   // ShowCursor(TRUE) calls the next show makes to undo the last hide
};
extern CursorVisibility cursorVisibility;

enum CursorRequest { CursorHide = 0, CursorShow = 1, CursorToggle = 2 };

// Returns the value cursorShown had before the call; passing it back restores that state.
int setCursorVisibility(int request);
