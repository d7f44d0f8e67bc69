#include "platform/ras/ras_api.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tt {

#ifdef _WIN32
namespace {

std::string Convert(const std::string& text, UINT from, UINT to) {
    if (text.empty()) return text;
    const int wideLength =
        MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wideLength <= 0) return {};
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        wideLength);
    const int length =
        WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(to, 0, wide.data(), wideLength, out.data(), length, nullptr, nullptr);
    return out;
}

}  // namespace

std::string RasTextToUtf8(const std::string& text) {
    return Convert(text, CP_ACP, CP_UTF8);
}
std::string Utf8ToRasText(const std::string& text) {
    return Convert(text, CP_UTF8, CP_ACP);
}
#else
std::string RasTextToUtf8(const std::string& text) {
    return text;
}
std::string Utf8ToRasText(const std::string& text) {
    return text;
}
#endif

}  // namespace tt
