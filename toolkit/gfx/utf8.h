#pragma once
// The UTF-8 codec lives in base, where the settings file needs it too.
#include "base/utf8.h"
