// The program's own modal windows: its message boxes and the setup dialog.
#pragma once

// While one of them is up, Windows runs that window's loop and has disabled the main window:
// nothing the user does reaches the main window, but messages that other programs post to it
// still arrive there, through the modal loop.
extern int modalWindowsUp;

// Marks one modal window as up for its lifetime: open it inside such a scope.
struct ModalWindowScope {
    ModalWindowScope() { ++modalWindowsUp; }
    ~ModalWindowScope() { --modalWindowsUp; }
    ModalWindowScope(const ModalWindowScope&) = delete;
    ModalWindowScope& operator=(const ModalWindowScope&) = delete;
};
