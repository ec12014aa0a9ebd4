#include "screen/cursor.h"

CursorVisibility cursorVisibility = {1, 0};

// Stand-in until the cursor counter handling arrives.
int setCursorVisibility(int) { return cursorVisibility.cursorShown; }
