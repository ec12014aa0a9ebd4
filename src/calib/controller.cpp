#include "calib/controller.h"
