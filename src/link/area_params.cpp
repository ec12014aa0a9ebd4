#include "link/area_params.h"

#include "settings/resource_ids.h"

AreaParameters areaParameters = {0, 0, 0, 0};

namespace {

// Panel extents and the margins of its sensitive area, in millimetres. With the cable at the
// right edge: e0 low-x edge, e1 high-x (cable) edge, e2 low-y edge, e3 high-y edge.
struct PanelGeometry {
    double w, h, e0, e1, e2, e3;
};

const PanelGeometry kPanels[] = {
    {278.4, 213.4, 14.5, 18.2, 14.5, 14.5}, // 12.1 inch
    {243.8, 187.4, 14.5, 18.2, 14.5, 14.5}, // 10.4 inch
    {203.6, 158.6, 14.5, 18.2, 14.5, 14.5}, // 8.4 inch
    {152.0, 117.6, 6.4, 8.8, 7.0, 8.0},     // 6.7 inch
};

// The near margin in panel units, and the far edge less its margin; the order of the
// operations is part of the result, since the values are truncated.
int nearEdge(double margin, double extent) {
    return static_cast<int>(4096 * margin / extent);
}
int farEdge(double margin, double extent) {
    return static_cast<int>((extent - margin) * 4096 / extent);
}

void setArea(int xLow, int xHigh, int yLow, int yHigh) {
    areaParameters.xLow = xLow;
    areaParameters.xHigh = xHigh;
    areaParameters.yLow = yLow;
    areaParameters.yHigh = yHigh;
}

} // namespace

void computeAreaParameters(int panelSizeId, int cableDirId) {
    // Only the dialog's own ids are ever stored; anything else would read past the table,
    // so it is taken as the smallest panel, the start-up default.
    int row = panelSizeId - IDC_PANEL_12_1;
    if (row < 0 || row > IDC_PANEL_6_7 - IDC_PANEL_12_1)
        row = IDC_PANEL_6_7 - IDC_PANEL_12_1;
    const PanelGeometry& g = kPanels[row];
    // Turning the panel moves its margins round with the cable.
    switch (cableDirId) {
    case IDC_CABLE_UPPER:
        setArea(nearEdge(g.e2, g.h), farEdge(g.e3, g.h), nearEdge(g.e1, g.w), farEdge(g.e0, g.w));
        break;
    case IDC_CABLE_LEFT:
        setArea(nearEdge(g.e1, g.w), farEdge(g.e0, g.w), nearEdge(g.e3, g.h), farEdge(g.e2, g.h));
        break;
    case IDC_CABLE_LOWER:
        setArea(nearEdge(g.e3, g.h), farEdge(g.e2, g.h), nearEdge(g.e0, g.w), farEdge(g.e1, g.w));
        break;
    default: // IDC_CABLE_RIGHT
        setArea(nearEdge(g.e0, g.w), farEdge(g.e1, g.w), nearEdge(g.e2, g.h), farEdge(g.e3, g.h));
        break;
    }
}
