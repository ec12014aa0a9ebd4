// The texts drawn on the two screens, as fixed byte strings in both languages.
#pragma once

enum ScreenTextId { CalibLine1, CalibLine2, CalibLine3, TestHelpLine };

struct ScreenText {
    const char* bytes; // Shift-JIS for Japanese, ASCII for English; not zero-counted
    int count;         // 42, 32, 38 or 74
};

ScreenText screenText(ScreenTextId id);
