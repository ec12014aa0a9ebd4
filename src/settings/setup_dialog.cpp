#include "settings/setup_dialog.h"
