#pragma once
// The user's formats in one include: the locale's settings, dates and times, numbers, and the
// text helpers they share.
#include "base/date_format.h"
#include "base/locale_formats.h"
#include "base/number_format.h"
#include "base/text.h"
