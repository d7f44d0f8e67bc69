#include "toolkit/gfx/font.h"

#include <cmath>

#include "toolkit/gfx/utf8.h"

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

char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++pos;
        return kReplacementChar;
    }
    if (pos + extra >= text.size()) {
        ++pos;
        return kReplacementChar;
    }
    for (int i = 1; i <= extra; ++i) {
        const unsigned char c = byte(pos + i);
        if ((c & 0xC0) != 0x80) {
            ++pos;
            return kReplacementChar;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return kReplacementChar;
    }
    pos += extra + 1;
    return cp;
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
