#include "screen/screen_metrics.h"

ScreenMetrics screenMetrics = {0, 0, 0};
