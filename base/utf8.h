#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tt {

inline constexpr char32_t kReplacementChar = 0xFFFD;

// Reads the code point at pos and moves pos past it. A malformed or overlong sequence, or a
// surrogate, counts as one replacement character and consumes one byte, so garbage never
// swallows the valid text after it.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

// Appends the code point's UTF-8 bytes.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace tt
