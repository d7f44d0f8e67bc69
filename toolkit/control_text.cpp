#include "toolkit/control_text.h"

#include "base/utf8.h"
#include "toolkit/gfx/font.h"

namespace tt {

std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    for (size_t pos = 0; pos < text.size();) out += NextCodePoint(text, pos);
    return out;
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) AppendUtf8(out, c);
    return out;
}

TSize MeasureText(const TFont& font, std::string_view text, bool prefix) {
    FontEngine& engine = CurrentFontEngine();
    // Without an "&" the text is measured as it stands, without a copy.
    if (!prefix || text.find('&') == std::string_view::npos) {
        return TSize{engine.TextWidth(font, text), engine.Metrics(font).Height};
    }
    const std::string shown = ParsePrefix(text).Text;
    return TSize{engine.TextWidth(font, shown), engine.Metrics(font).Height};
}

namespace {

// Lower case for ASCII and the Polish letters, which is all the program's captions use.
char32_t Lower(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c == U'Ó') return U'ó';
    switch (c) {
        case U'Ą':
        case U'Ć':
        case U'Ę':
        case U'Ł':
        case U'Ń':
        case U'Ś':
        case U'Ź':
        case U'Ż':
            return c + 1;
        default:
            return c;
    }
}

}  // namespace

bool IsAccel(char32_t ch, std::string_view caption) {
    const PrefixedText parsed = ParsePrefix(caption);
    if (parsed.UnderlineLength == 0) return false;
    size_t pos = parsed.UnderlineStart;
    return Lower(NextCodePoint(parsed.Text, pos)) == Lower(ch);
}

}  // namespace tt
