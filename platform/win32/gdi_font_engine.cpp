#include <windows.h>

#include <algorithm>

#include "platform/win32/win32_backend.h"
#include "toolkit/gfx/bitmap.h"

namespace tt::win32 {

GdiFontEngine::GdiFontEngine() {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
}

GdiFontEngine::~GdiFontEngine() {
    for (auto& [key, font] : fonts_) DeleteObject(font);
    if (dc_) DeleteDC(dc_);
}

HFONT GdiFontEngine::Select(const TFont& font) {
    const auto key = std::make_tuple(font.Name, font.Height, font.Bold);
    auto it = fonts_.find(key);
    if (it == fonts_.end()) {
        // Unsmoothed: the toolkit copies glyph pixels in one colour, and a blended edge
        // would be drawn as a solid one.
        HFONT made = CreateFontA(font.Height, 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, FALSE,
                                 FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, Utf8ToAnsi(font.Name).c_str());
        if (!made) made = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        it = fonts_.emplace(key, made).first;
    }
    SelectObject(dc_, it->second);
    return it->second;
}

TFontMetrics GdiFontEngine::Metrics(const TFont& font) {
    Select(font);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc_, &tm);
    return TFontMetrics{static_cast<int>(tm.tmHeight), static_cast<int>(tm.tmAscent)};
}

int GdiFontEngine::TextWidth(const TFont& font, std::string_view text) {
    if (text.empty()) return 0;
    Select(font);
    // The wide calls: the text keeps its letters whatever the ANSI code page lacks.
    const std::wstring wide = Utf8ToWide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
    return static_cast<int>(size.cx);
}

void GdiFontEngine::DrawGlyphs(Bitmap& target, const TRect& clip, int x, int y, const TFont& font,
                               std::string_view text, TColor color) {
    if (text.empty()) return;
    const int width = TextWidth(font, text);
    const TFontMetrics metrics = Metrics(font);
    // Where the text's cell meets the clip and the bitmap: only there can a pixel change.
    const int left = std::max({clip.Left, x, 0});
    const int top = std::max({clip.Top, y, 0});
    const int right = std::min({clip.Right, x + width + metrics.Height, target.Width()});
    const int bottom = std::min({clip.Bottom, y + metrics.Height, target.Height()});
    if (left >= right || top >= bottom) return;
    const int w = right - left;
    const int h = bottom - top;

    // White glyphs on black in a scratch section, then the lit pixels in the text colour.
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP scratch = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!scratch) return;
    HGDIOBJ old = SelectObject(dc_, scratch);
    Select(font);
    std::fill_n(static_cast<uint32_t*>(bits), static_cast<size_t>(w) * static_cast<size_t>(h), 0u);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, RGB(255, 255, 255));
    SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    const std::wstring wide = Utf8ToWide(text);
    ExtTextOutW(dc_, x - left, y - top, 0, nullptr, wide.c_str(), static_cast<UINT>(wide.size()),
                nullptr);
    GdiFlush();
    const Pixel ink = PixelFromRGB(color);
    const auto* src = static_cast<const uint32_t*>(bits);
    for (int row = 0; row < h; ++row) {
        Pixel* dst = target.Row(top + row) + left;
        const uint32_t* s = src + static_cast<size_t>(row) * static_cast<size_t>(w);
        for (int col = 0; col < w; ++col) {
            if ((s[col] & 0x00FFFFFFu) != 0) dst[col] = ink;
        }
    }
    SelectObject(dc_, old);
    DeleteObject(scratch);
}

}  // namespace tt::win32
