// The program's process-wide variables: a fresh simulated process for each test or fuzz run,
// and a snapshot to tell whether a message changed anything.
#pragma once

#include "platform/host/sim.h"

#include "calib/controller.h"
#include "link/area_params.h"
#include "link/commands.h"
#include "screen/cursor.h"
#include "screen/screen_metrics.h"
#include "screen/stroke.h"
#include "screen/target_grid.h"
#include "settings/language.h"
#include "settings/setup_dialog.h"

// Every process-wide variable of the program, as one value.
struct ProgramGlobals {
    CalibState calib;
    TargetGrid grid;
    ScreenMetrics metrics;
    win::HINSTANCE instance;
    UiLanguage language;
    CalibSettings settings;
    CursorVisibility cursor;
    StrokeState stroke;
    AreaParameters area;
    CommandBuffer command;
    unsigned char response[kResponseSize];
};

ProgramGlobals currentGlobals();
bool sameGlobals(const ProgramGlobals& a, const ProgramGlobals& b);

// Resets the simulated Windows and every process-wide variable of the program, as a new
// process would find them.
void startFreshProcess(const sim::Config& config = sim::Config());
