#pragma once
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "toolkit/gfx/font.h"

class QFont;

namespace tt::qt {

// Native text for our buffers: Qt's fonts, drawn with QPainter over a QImage that wraps the
// bitmap's own pixels. Needs a QGuiApplication. GUI thread only.
class QtFontEngine : public FontEngine {
  public:
    QtFontEngine();
    ~QtFontEngine() override;

    TFontMetrics Metrics(const TFont& font) override;
    int TextWidth(const TFont& font, std::string_view text) override;
    void DrawGlyphs(Bitmap& target, const TRect& clip, int x, int y, const TFont& font,
                    std::string_view text, TColor color) override;
    bool FontsLoaded() const override { return !fonts_.empty(); }

    // The Qt font a TFont stands for.
    const QFont& FontFor(const TFont& font);

  private:
    using Key = std::tuple<std::string, int, bool>;
    std::map<Key, std::unique_ptr<QFont>> fonts_;
};

}  // namespace tt::qt
