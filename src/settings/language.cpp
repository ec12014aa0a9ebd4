#include "settings/language.h"
