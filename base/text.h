#pragma once
#include <string_view>

namespace tt {

// Small text helpers shared by the formats and the tools. Letters are compared as ASCII only:
// what is compared here is pattern letters, AM/PM markers and file name endings.

// Without the blanks and control characters (bytes up to the space) at both ends.
std::string_view Trim(std::string_view text);

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
inline bool IsSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}
inline bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// An empty prefix starts nothing, so that an empty AM/PM marker never matches.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);

}  // namespace tt
