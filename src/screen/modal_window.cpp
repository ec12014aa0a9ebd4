#include "screen/modal_window.h"

int modalWindowsUp = 0;
