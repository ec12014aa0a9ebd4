#include "settings/screen_texts.h"
