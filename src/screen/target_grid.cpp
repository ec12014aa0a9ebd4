#include "screen/target_grid.h"
