// Calibration-area parameters carried by CAL-IN, in panel units (1/4096 of the extent).
#pragma once

struct AreaParameters {
    int xLow;
    int xHigh;
    int yLow;
    int yHigh;
};
extern AreaParameters areaParameters;

// Fills areaParameters for a panel size id (10..13) and a cable direction id (30..33).
void computeAreaParameters(int panelSizeId, int cableDirId);
