#include "screen/target_grid.h"

#include "screen/screen_metrics.h"
#include "settings/resource_ids.h"

// The run starts with the 9-point layout.
TargetGrid targetGrid = {3, 3, {100, 2048, 3996, 0, 0}, {100, 2048, 3996, 0}, 9};

namespace {

constexpr int kPanelUnits = 4096;
constexpr int kArmLength = 12;    // pixels from the centre to the end of each bar
constexpr int kHalfThickness = 1; // bars are 3 pixels thick

void setLayout(int columns, int rows, const int* xs, const int* ys) {
    targetGrid.columns = columns;
    targetGrid.rows = rows;
    for (int c = 0; c < columns; ++c)
        targetGrid.xPositions[c] = xs[c];
    for (int r = 0; r < rows; ++r)
        targetGrid.yPositions[r] = ys[r];
}

} // namespace

void configureGrid(int pointCountId) {
    static const int kNineX[] = {100, 2048, 3996};
    static const int kNineY[] = {100, 2048, 3996};
    static const int kTwentyX[] = {100, 1074, 2048, 3022, 3996};
    static const int kTwentyY[] = {100, 1399, 2698, 3996};
    if (pointCountId == IDC_POINTS_9)
        setLayout(3, 3, kNineX, kNineY);
    else if (pointCountId == IDC_POINTS_20)
        setLayout(5, 4, kTwentyX, kTwentyY);
    targetGrid.total = targetGrid.columns * targetGrid.rows;
}

win::POINT targetPosition(int index) {
    // Targets are visited down each column, columns left to right.
    int column = index / targetGrid.rows;
    int row = index % targetGrid.rows;
    win::POINT p;
    p.x = screenMetrics.screenWidth * targetGrid.xPositions[column] / kPanelUnits;
    p.y = screenMetrics.screenHeight * targetGrid.yPositions[row] / kPanelUnits;
    return p;
}

void drawTargetMark(win::HDC canvas, int index, int visible, int touched) {
    if (index < 0 || index >= targetGrid.total)
        return; // there is no such target in the current layout
    win::COLORREF colour = !visible ? kWhite : (touched ? kBlue : kRed);
    win::POINT centre = targetPosition(index);
    // A plus sign of single pixels; the platform clips what lies off the screen.
    for (int along = -kArmLength; along <= kArmLength; ++along)
        for (int across = -kHalfThickness; across <= kHalfThickness; ++across)
            win::SetPixel(canvas, centre.x + along, centre.y + across, colour);
    for (int along = -kArmLength; along <= kArmLength; ++along)
        for (int across = -kHalfThickness; across <= kHalfThickness; ++across)
            win::SetPixel(canvas, centre.x + across, centre.y + along, colour);
}
