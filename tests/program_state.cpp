#include "program_state.h"

#include <cstring>

namespace {

template <typename T> bool sameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

ProgramGlobals currentGlobals() {
    ProgramGlobals g = {
        calibState,       targetGrid,  screenMetrics,  programInstance, uiLanguage, calibSettings,
        cursorVisibility, strokeState, areaParameters, commandBuffer,   {0}};
    std::memcpy(g.response, responseBuffer, sizeof responseBuffer);
    return g;
}

// Field by field: the structures of ints have no padding, the command buffer has.
bool sameGlobals(const ProgramGlobals& a, const ProgramGlobals& b) {
    return sameBytes(a.calib, b.calib) && sameBytes(a.grid, b.grid) &&
           sameBytes(a.metrics, b.metrics) && a.instance == b.instance &&
           a.language == b.language && sameBytes(a.settings, b.settings) &&
           sameBytes(a.cursor, b.cursor) && sameBytes(a.stroke, b.stroke) &&
           sameBytes(a.area, b.area) && sameBytes(a.command.bytes, b.command.bytes) &&
           a.command.length == b.command.length && sameBytes(a.response, b.response);
}

namespace {

// The program's own starting values, taken when the test program loads, before any test has
// run: a wrong starting value in the program is then what every test starts from.
const ProgramGlobals kProgramStart = currentGlobals();

} // namespace

void startFreshProcess(const sim::Config& config) {
    sim::reset(config);
    const ProgramGlobals& g = kProgramStart;
    calibState = g.calib;
    targetGrid = g.grid;
    screenMetrics = g.metrics;
    programInstance = g.instance;
    uiLanguage = g.language;
    calibSettings = g.settings;
    cursorVisibility = g.cursor;
    strokeState = g.stroke;
    areaParameters = g.area;
    commandBuffer = g.command;
    std::memcpy(responseBuffer, g.response, sizeof responseBuffer);
}
