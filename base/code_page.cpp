#include "base/code_page.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tt {

#ifdef _WIN32
namespace {

std::wstring Widen(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(std::wstring_view text, UINT codePage) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n,
                        nullptr, nullptr);
    return narrow;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
    return Narrow(Widen(utf8, CP_UTF8), CP_ACP);
}
std::string AnsiToUtf8(std::string_view ansi) {
    return Narrow(Widen(ansi, CP_ACP), CP_UTF8);
}
std::wstring Utf8ToWide(std::string_view utf8) {
    return Widen(utf8, CP_UTF8);
}
std::wstring AnsiToWide(std::string_view ansi) {
    return Widen(ansi, CP_ACP);
}
std::string WideToUtf8(std::wstring_view wide) {
    return Narrow(wide, CP_UTF8);
}
#else
std::string Utf8ToAnsi(std::string_view utf8) {
    return std::string(utf8);
}
std::string AnsiToUtf8(std::string_view ansi) {
    return std::string(ansi);
}
#endif

}  // namespace tt
