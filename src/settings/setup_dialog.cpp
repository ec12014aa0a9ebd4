#include "settings/setup_dialog.h"

#include "settings/language.h"
#include "settings/resource_ids.h"

#include <cstdint>

// 6.7 inch, 9 points, cable at the right edge; held for the run only.
CalibSettings calibSettings = {IDC_PANEL_6_7, IDC_POINTS_9, IDC_CABLE_RIGHT};

namespace {

// The choices while the dialog is open, taken afresh at every opening and committed by OK.
struct WorkingSelection {
    std::int16_t panelSize;
    std::int16_t pointCount;
    std::int16_t cableDir;
};
WorkingSelection working = {0, 0, 0};

struct RadioGroup {
    int first;
    int last;
    std::int16_t* selection;
};

const RadioGroup kGroups[] = {
    {IDC_PANEL_12_1, IDC_PANEL_6_7, &working.panelSize},
    {IDC_POINTS_9, IDC_POINTS_20, &working.pointCount},
    {IDC_CABLE_RIGHT, IDC_CABLE_LOWER, &working.cableDir},
};

win::INT_PTR onInitDialog(win::HWND dialog) {
    working.panelSize = static_cast<std::int16_t>(calibSettings.panelSizeId);
    working.pointCount = static_cast<std::int16_t>(calibSettings.pointCountId);
    working.cableDir = static_cast<std::int16_t>(calibSettings.cableDirId);
    for (const RadioGroup& group : kGroups)
        win::CheckRadioButton(dialog, group.first, group.last, *group.selection);
    win::SetFocus(win::GetDlgItem(dialog, working.panelSize));
    // FALSE keeps the focus where it was just put.
    return win::FALSE;
}

void commitSelection() {
    calibSettings.panelSizeId = working.panelSize;
    calibSettings.pointCountId = working.pointCount;
    calibSettings.cableDirId = working.cableDir;
}

// The radio buttons are of the kind that does not check itself when clicked.
win::INT_PTR onCommand(win::HWND dialog, win::WPARAM wParam) {
    // The whole wParam is compared: a notification other than a plain click (a double
    // click, for instance) carries its code in the high word and matches nothing.
    if (wParam == static_cast<win::WPARAM>(win::IDOK)) {
        commitSelection();
        win::EndDialog(dialog, 1);
        return win::TRUE;
    }
    if (wParam == static_cast<win::WPARAM>(win::IDCANCEL)) {
        win::EndDialog(dialog, 0);
        return win::TRUE;
    }
    for (const RadioGroup& group : kGroups) {
        if (wParam >= static_cast<win::WPARAM>(group.first) &&
            wParam <= static_cast<win::WPARAM>(group.last)) {
            *group.selection = static_cast<std::int16_t>(wParam);
            win::CheckRadioButton(dialog, group.first, group.last, static_cast<int>(wParam));
            return win::TRUE;
        }
    }
    return win::FALSE;
}

} // namespace

win::INT_PTR setupDialogProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM) {
    if (message == win::WM_INITDIALOG)
        return onInitDialog(dialog);
    if (message == win::WM_COMMAND)
        return onCommand(dialog, wParam);
    return win::FALSE;
}

win::INT_PTR runSetupDialog(win::HWND window, win::HINSTANCE instance) {
    const char* name = uiLanguage == LanguageEnglish ? "HosSetBoxE" : "HosSetBox";
    return win::DialogBoxParamA(instance, name, window, setupDialogProc, 0);
}
