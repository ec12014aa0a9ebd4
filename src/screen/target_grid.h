// The grid of calibration targets and their cross-shaped marks.
#pragma once

#include "platform/platform.h"

struct TargetGrid {
    int columns;
    int rows;
    int xPositions[5]; // 1/4096 of the screen width, left to right
    int yPositions[4]; // 1/4096 of the screen height, top to bottom
    int total;
};
extern TargetGrid targetGrid;

constexpr win::COLORREF kRed = 0x0000FF;
constexpr win::COLORREF kBlue = 0xFF0000;
constexpr win::COLORREF kWhite = 0xFFFFFF;
constexpr win::COLORREF kBlack = 0x000000;

// Point-count id 20 lays out 3 x 3 targets, 21 lays out 5 x 4; others keep the layout.
void configureGrid(int pointCountId);
// Screen position of a target, in pixels.
win::POINT targetPosition(int index);
// visible 0 erases (white); visible 1 draws red, or blue when touched.
void drawTargetMark(win::HDC canvas, int index, int visible, int touched);
