// Starting the program itself; in a file of its own so that a test executable that never
// runs the program does not need its entry point.
#include "platform/host/sim.h"

namespace sim {

int runToExit(int showValue) {
    return runProgram(programInstance(), showValue);
}

} // namespace sim
