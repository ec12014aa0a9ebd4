#include "link/area_params.h"
