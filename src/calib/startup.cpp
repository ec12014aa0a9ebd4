#include "calib/startup.h"
