// A window for the simulation's own tests: its procedure keeps every message it receives,
// paints nothing itself and leaves the rest to DefWindowProcA. A test may hook in first.
#pragma once

#include "platform/host/sim.h"

#include <functional>
#include <vector>

struct Received {
    win::UINT message;
    win::WPARAM wParam;
    win::LPARAM lParam;
};

inline std::vector<Received> received;
// Return true to take the message over; false lets the default handling run.
inline std::function<bool(win::HWND, win::UINT, win::WPARAM, win::LPARAM)> hook;

inline win::LRESULT recordingProc(win::HWND window, win::UINT message, win::WPARAM wParam,
                                  win::LPARAM lParam) {
    received.push_back(Received{message, wParam, lParam});
    if (hook && hook(window, message, wParam, lParam))
        return 0;
    if (message == win::WM_PAINT) {
        win::PAINTSTRUCT paint;
        win::BeginPaint(window, &paint);
        win::EndPaint(window, &paint);
        return 0;
    }
    return win::DefWindowProcA(window, message, wParam, lParam);
}

// A fresh simulated process with one window at (x, y) on a white-brush class.
inline win::HWND freshWindow(int x = 0, int y = 0, int width = 64, int height = 48,
                             const sim::Config& config = sim::Config()) {
    sim::reset(config);
    received.clear();
    hook = nullptr;
    win::WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = recordingProc;
    windowClass.hbrBackground = static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH));
    windowClass.lpszClassName = "SIM:TEST";
    win::RegisterClassExA(&windowClass);
    return win::CreateWindowExA(0, "SIM:TEST", "test", win::WS_POPUP | win::WS_VISIBLE, x, y, width,
                                height, nullptr, nullptr, sim::programInstance(), nullptr);
}

// The messages received so far, in order, without their parameters.
inline std::vector<win::UINT> messages() {
    std::vector<win::UINT> out;
    for (const Received& r : received)
        out.push_back(r.message);
    return out;
}

// Runs a message loop as the program does, until GetMessageA returns 0.
inline int pumpUntilQuit() {
    win::MSG msg;
    while (win::GetMessageA(&msg, nullptr, 0, 0)) {
        win::TranslateMessage(&msg);
        win::DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
