#pragma once
#include <string>
#include <string_view>

namespace tt {

// Text is UTF-8 inside the program. The system's "A" functions, the remote-access records and
// the files on disk take the system's single-byte code page on Windows; elsewhere they take
// UTF-8 and these change nothing. Characters the code page lacks become its default character.
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);

#ifdef _WIN32
// For the "W" functions.
std::wstring Utf8ToWide(std::string_view utf8);
std::wstring AnsiToWide(std::string_view ansi);
std::string WideToUtf8(std::wstring_view wide);
#endif

}  // namespace tt
