#pragma once
#include <string>
#include <string_view>

#include "toolkit/control.h"

namespace tt {

// UTF-8 <-> code points, for controls that edit text character by character; a byte that is
// not valid UTF-8 becomes the replacement character.
std::u32string DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u32string_view text);
// Text width and line height in a font, with "&" prefixes taken out when `prefix` is set.
TSize MeasureText(const TFont& font, std::string_view text, bool prefix = false);

// Whether ch is the "&" accelerator of the caption, letters compared without case.
bool IsAccel(char32_t ch, std::string_view caption);

}  // namespace tt
