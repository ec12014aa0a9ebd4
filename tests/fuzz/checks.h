// The properties every run must keep, whatever the input and the controller do, checked
// while the program runs: at every message its window procedure gets, while every box and
// dialog is up, after every step and at the end. A broken property stops the process with a
// message (abort), which the fuzzer reports as a finding.
//
//  - Each message handler gives back every drawing context and paint it took, and no device
//    handle stays open; the simulation notices no misuse; nothing is drawn outside the window.
//  - Every request is one of the five commands with its exact bytes; CAL-IN carries the grid
//    byte and area parameters of the settings the setup dialog's OK last committed. DIAG is
//    not sent again once acknowledged.
//  - A calibration the controller acknowledged gets exactly one acknowledged CAL-POINT per
//    target of its grid byte before CAL-OUT, counted since it began, also past a refused
//    CAL-OUT, until a command finds no device (the two may part ways then). The setup dialog's
//    Cancel leaves the count as it is, since the targets go on from the current one.
//  - Destroying the window sends one CAL-ABORT (tried, when the device is absent) and nothing
//    else; afterwards only CAL-ABORT may follow. While the device is there, every run's last
//    request is CAL-ABORT. Before the window handles any input, the start has sent DIAG and
//    CAL-IN, both acknowledged (else the window is gone before input can reach it).
//  - Every CAL-POINT answers the release of a press that the window saw on the calibration
//    screen since the last screen switch, restart, box or dialog (WM_CANCELMODE).
//  - A WM_USER that no start request of the program's own made due changes nothing: no call,
//    no request, no box, the program's state as it was. Nor does any input message or WM_USER
//    that reaches the window while a message box or the setup dialog is up (other programs
//    post them; the user's own input goes to the box or dialog).
//  - The cursor follows the program's rules (Tab toggles, focus messages show, boxes and the
//    dialog show it while up and leave it as it was), counter included.
//  - Key 1 on the calibration screen opens the setup dialog, with the current choices checked
//    and the focus on the panel size; clicks check their choices; OK commits them, Cancel not.
//  - Once painted, the calibration screen shows the current target, counted here from the
//    acknowledged points, in red (blue only while a press the window got is not yet released)
//    and no other mark; the test screen no mark and its separator across the width.
//  - The input's ending (Esc, Enter or WM_CLOSE) ends the program with exit code 0.
#pragma once

#include "fuzz_input.h"

#include "platform/host/sim.h"
#include "program_state.h"

#include <cstddef>
#include <vector>

namespace fuzz {

class Checks {
  public:
    // Before the program starts, on a fresh process.
    void start(const Screen& screen, int cursorCounter);
    // After each step, when the program waits for input again.
    void stepDone();
    // The actions of the setup dialog that key 1 opens on the calibration screen, with checks.
    std::vector<sim::DialogAction> dialogScript(const DialogPlan& plan);
    // Once the program has returned exitCode.
    void runDone(int exitCode);
    // After a replay of many inputs, such as the seed corpus: the milestones that no run
    // reached, on stderr, and their number. A corpus whose runs get nowhere checks nothing.
    static int milestonesMissed();

  private:
    // The cursor as the program's rules have it, from the messages it got: Tab toggles,
    // focus messages show, boxes and the dialog leave it as it was.
    struct CursorModel {
        int shown = 1;
        int hideDepth = 0;
        int counter = 0;
        void show();
        void hide();
        int counterWhileShown() const;
    };
    // One window-procedure call in progress, as it began.
    struct Frame {
        win::UINT message;
        int drawingContexts, paints, devices;
        std::size_t calls, boxes;
        unsigned long long requests;
        bool changesNothing;    // a WM_USER not due, or input or WM_USER while a box is up
        ProgramGlobals globals; // the program as it was then
    };
    struct PendingDialog {
        bool active = false;
        std::size_t index = 0; // in sim::dialogs()
        bool ok = false;
        CalibSettings chosen{};
    };

    void onDelivery(const sim::Delivery& d);
    void forgetPress();
    void watchNextBox();
    void checkWhileModal(const char* what) const;
    void follow();
    void checkRequest(const PanelRecord& r);
    void lostCommand();
    void applyDialogOutcome();
    void checkCursor(const char* when) const;
    void checkQuiet(const char* when) const;
    void checkScreen() const;

    Screen screen_{};
    CursorModel cursor_;
    CalibSettings settings_{};
    PendingDialog dialog_;
    std::vector<Frame> frames_;
    std::size_t callsScanned_ = 0;
    int startsPosted_ = 0;        // the program's WM_USER posts not yet delivered
    bool dialogExpected_ = false; // a dialog script waits for key 1
    bool destroyed_ = false;
    unsigned long long requests_ = 0;
    bool diagAcknowledged_ = false;
    // A calibration the controller acknowledged: targets of its grid byte, acknowledged
    // points since it began or since the targets last started again from the first.
    bool calibrating_ = false;
    int targets_ = 0;
    int points_ = 0;
    unsigned char lastRequest_ = 0;
    // The screen as the program's rules make it: which screen, the current target (acknowledged
    // points since the targets last started from the first), and a press not yet released.
    bool testScreen_ = false;
    int target_ = 0;
    bool pressed_ = false;
    bool pressOnCalibration_ = false; // pressed_ on the calibration screen, not forgotten
    bool inputHandled_ = false;
    bool startDone_ = false; // DIAG, then CAL-IN, both acknowledged
    bool trace_ = false;     // PANELCAL_FUZZ_TRACE set: every request and box goes to stderr
};

// Another program posts kPosted[which] to the main window.
void postInput(const Screen& screen, int which);

} // namespace fuzz
