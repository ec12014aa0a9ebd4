#include "platform/host/sim.h"
