#include "platform/qt/qt_font_engine.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>

#include "toolkit/gfx/bitmap.h"

namespace tt::qt {

namespace {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The forms were laid out for the classic Windows faces; these are their nearest metric
// relatives on a Linux desktop, in order of likeness.
void RegisterSubstitutes() {
    static const bool done = [] {
        QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Arial", "DejaVu Sans"});
        QFont::insertSubstitutions("Arial", {"Liberation Sans", "DejaVu Sans"});
        QFont::insertSubstitutions("Courier New",
                                   {"Liberation Mono", "DejaVu Sans Mono", "Monospace"});
        QFont::insertSubstitutions("Times New Roman", {"Liberation Serif", "DejaVu Serif"});
        return true;
    }();
    (void)done;
}

}  // namespace

QtFontEngine::QtFontEngine() {
    RegisterSubstitutes();
}

QtFontEngine::~QtFontEngine() = default;

const QFont& QtFontEngine::FontFor(const TFont& font) {
    Key key{font.Name, font.Height, font.Bold};
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return *it->second;

    auto qfont = std::make_unique<QFont>(QString::fromStdString(font.Name));
    qfont->setBold(font.Bold);
    // Negative heights are the character (em) height, which is Qt's pixel size; positive
    // ones the whole cell, so the em is scaled down by the face's own cell-to-em ratio.
    if (font.Height < 0) {
        qfont->setPixelSize(-font.Height);
    } else if (font.Height > 0) {
        qfont->setPixelSize(font.Height);
        const int cell = QFontMetrics(*qfont).height();
        if (cell > font.Height) {
            qfont->setPixelSize(std::max(1, font.Height * font.Height / cell));
        }
    } else {
        qfont->setPixelSize(11);  // 8 points, what a form gets when it names no size
    }
    return *fonts_.emplace(key, std::move(qfont)).first->second;
}

TFontMetrics QtFontEngine::Metrics(const TFont& font) {
    const QFontMetrics m(FontFor(font));
    return TFontMetrics{m.height(), m.ascent()};
}

int QtFontEngine::TextWidth(const TFont& font, std::string_view text) {
    if (text.empty()) return 0;
    return QFontMetrics(FontFor(font)).horizontalAdvance(ToQString(text));
}

void QtFontEngine::DrawGlyphs(Bitmap& target, const TRect& clip, int x, int y, const TFont& font,
                              std::string_view text, TColor color) {
    const int width = target.Width();
    const int height = target.Height();
    const int left = std::max(clip.Left, 0);
    const int top = std::max(clip.Top, 0);
    const int right = std::min(clip.Right, width);
    const int bottom = std::min(clip.Bottom, height);
    if (text.empty() || left >= right || top >= bottom) return;

    // The same pixels, seen by Qt: no copy, and nothing to write back.
    QImage image(reinterpret_cast<uchar*>(target.Bits()), width, height,
                 static_cast<qsizetype>(width) * 4, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setClipRect(QRect(left, top, right - left, bottom - top));
    painter.setFont(FontFor(font));
    const TColor rgb = ColorToRGB(color);
    painter.setPen(QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                          static_cast<int>((rgb >> 16) & 0xFF)));
    painter.drawText(x, y + QFontMetrics(FontFor(font)).ascent(), ToQString(text));
}

}  // namespace tt::qt
