#include "toolkit/gfx/font.h"

#include <cmath>

#include "base/utf8.h"

namespace tt {

namespace {
FontEngine* currentEngine = nullptr;
}

int TFont::Size() const {
    if (Height == 0) return 8;
    const int pixels = Height < 0 ? -Height : Height;
    return static_cast<int>(std::lround(pixels * 72.0 / 96.0));
}

void TFont::SetSize(int points) {
    Height = -static_cast<int>(std::lround(points * 96.0 / 72.0));
}

FontEngine& CurrentFontEngine() {
    return currentEngine != nullptr ? *currentEngine : BuiltinFontEngine();
}

void SetCurrentFontEngine(FontEngine* engine) {
    currentEngine = engine;
}

PrefixedText ParsePrefix(std::string_view caption) {
    PrefixedText result;
    bool marked = false;
    std::size_t i = 0;
    while (i < caption.size()) {
        if (caption[i] != '&') {
            result.Text.push_back(caption[i]);
            ++i;
            continue;
        }
        if (i + 1 >= caption.size()) break;  // a lone "&" at the end shows nothing
        if (caption[i + 1] == '&') {
            result.Text.push_back('&');
            i += 2;
            continue;
        }
        std::size_t next = i + 1;
        NextCodePoint(caption, next);
        if (!marked) {
            marked = true;
            result.UnderlineStart = result.Text.size();
            result.UnderlineLength = next - (i + 1);
        }
        result.Text.append(caption.substr(i + 1, next - (i + 1)));
        i = next;
    }
    return result;
}

}  // namespace tt
