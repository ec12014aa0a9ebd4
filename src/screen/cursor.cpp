#include "screen/cursor.h"

#include "platform/platform.h"

CursorVisibility cursorVisibility = {1, 0};

// The platform keeps a display counter that other parties may move as well, so a hide
// measures it: it lowers the counter to -1 and remembers how many steps that took, and the
// next show raises it by exactly that many.
int setCursorVisibility(int request) {
    int previous = cursorVisibility.cursorShown;

    if (request != CursorHide && cursorVisibility.cursorShown == 0) {
        cursorVisibility.cursorShown = 1;
        while (cursorVisibility.hideDepth > 0) {
            cursorVisibility.hideDepth -= 1;
            win::ShowCursor(win::TRUE);
        }
        return previous;
    }

    if (request != CursorShow && cursorVisibility.cursorShown == 1) {
        cursorVisibility.cursorShown = 0;
        int count = win::ShowCursor(win::TRUE);
        cursorVisibility.hideDepth = -1;
        while (count >= 0) {
            cursorVisibility.hideDepth += 1;
            count = win::ShowCursor(win::FALSE);
        }
        if (cursorVisibility.hideDepth == -1) {
            // Already hidden by someone else: undo our raise and leave the counter alone.
            cursorVisibility.hideDepth = 0;
            win::ShowCursor(win::FALSE);
        }
        return previous;
    }

    return previous;
}
