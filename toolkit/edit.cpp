#include "toolkit/edit.h"

#include <algorithm>
#include <cstdlib>

#include "toolkit/application.h"
#include "toolkit/control_text.h"
#include "toolkit/form.h"

namespace tt {

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
    SetControlStyle(csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque);
    SetTabStop(true);
    SetColor(clWindow);
    SetCursor(crIBeam);
    SetBounds(0, 0, 121, 21);
}

void TEdit::SetText(const std::string& value) {
    const std::u32string decoded = DecodeUtf8(value);
    if (decoded == text_) return;
    text_ = decoded;
    caret_ = anchor_ = 0;
    scroll_ = 0;
    Commit();
}

int TEdit::SelStart() const {
    return std::min(caret_, anchor_);
}
int TEdit::SelLength() const {
    return std::abs(caret_ - anchor_);
}

void TEdit::SetSelStart(int value) {
    caret_ = anchor_ = std::clamp(value, 0, static_cast<int>(text_.size()));
    ScrollToCaret();
    Invalidate();
}

void TEdit::SetSelLength(int value) {
    anchor_ = SelStart();
    caret_ = std::clamp(anchor_ + std::max(value, 0), 0, static_cast<int>(text_.size()));
    ScrollToCaret();
    Invalidate();
}

std::string TEdit::SelText() const {
    return EncodeUtf8(std::u32string_view(text_).substr(static_cast<size_t>(SelStart()),
                                                        static_cast<size_t>(SelLength())));
}

void TEdit::SelectAll() {
    anchor_ = 0;
    caret_ = static_cast<int>(text_.size());
    Invalidate();
}

void TEdit::Commit() {
    SetTextQuietly(EncodeUtf8(text_));
    ScrollToCaret();
    Invalidate();
    if (OnChange) OnChange(this);
}

void TEdit::Replace(std::u32string_view with) {
    if (readOnly_) return;
    const int lo = SelStart();
    const int len = SelLength();
    std::u32string insert(with);
    if (maxLength_ > 0) {
        const int room = maxLength_ - (static_cast<int>(text_.size()) - len);
        if (room < static_cast<int>(insert.size()))
            insert.resize(static_cast<size_t>(std::max(room, 0)));
    }
    if (len == 0 && insert.empty()) return;
    text_.replace(static_cast<size_t>(lo), static_cast<size_t>(len), insert);
    caret_ = anchor_ = lo + static_cast<int>(insert.size());
    Commit();
}

void TEdit::MoveCaret(int to, bool extend) {
    caret_ = std::clamp(to, 0, static_cast<int>(text_.size()));
    if (!extend) anchor_ = caret_;
    ScrollToCaret();
    Invalidate();
}

int TEdit::PrefixWidth(int chars) const {
    // Nothing to measure before the first character: a field whose text is set while its
    // window is hidden (the caret then at the start) measures nothing.
    if (chars <= 0) return 0;
    return MeasureText(Font(),
                       EncodeUtf8(std::u32string_view(text_).substr(0, static_cast<size_t>(chars))))
        .Width;
}

int TEdit::CharAt(int x) const {
    const int target = x - kMargin + scroll_;
    int previous = 0;
    for (int i = 0; i <= static_cast<int>(text_.size()); ++i) {
        const int w = PrefixWidth(i);
        if (w >= target) return (i > 0 && target - previous < w - target) ? i - 1 : i;
        previous = w;
    }
    return static_cast<int>(text_.size());
}

void TEdit::ScrollToCaret() {
    const int room = std::max(Width() - 2 * kMargin, 1);
    const int x = PrefixWidth(caret_);
    if (x - scroll_ > room) scroll_ = x - room;
    if (x < scroll_) scroll_ = x;
    scroll_ = std::max(scroll_, 0);
}

void TEdit::CopyToClipboard() const {
    if (SelLength() > 0) Application::Current().Backend().SetClipboardText(SelText());
}

void TEdit::KeyDown(int& key, TShiftState shift) {
    TWinControl::KeyDown(key, shift);
    const bool extend = (shift & ssShift) != 0;
    const bool ctrl = (shift & ssCtrl) != 0;
    switch (key) {
        case ui::kKeyLeft:
            MoveCaret(SelLength() && !extend ? SelStart() : caret_ - 1, extend);
            break;
        case ui::kKeyRight:
            MoveCaret(SelLength() && !extend ? SelStart() + SelLength() : caret_ + 1, extend);
            break;
        case ui::kKeyHome:
            MoveCaret(0, extend);
            break;
        case ui::kKeyEnd:
            MoveCaret(static_cast<int>(text_.size()), extend);
            break;
        case ui::kKeyDelete:
            if (!SelLength() && caret_ < static_cast<int>(text_.size())) anchor_ = caret_ + 1;
            Replace(U"");
            break;
        case ui::kKeyBack:
            if (!SelLength() && caret_ > 0) anchor_ = caret_ - 1;
            Replace(U"");
            break;
        case ui::kKeyC:
            if (ctrl) CopyToClipboard();
            break;
        case ui::kKeyX:
            if (ctrl && !readOnly_) {
                CopyToClipboard();
                Replace(U"");
            }
            break;
        case ui::kKeyV:
            if (ctrl) {
                std::string pasted = Application::Current().Backend().ClipboardText();
                pasted = pasted.substr(0, pasted.find_first_of("\r\n"));
                Replace(DecodeUtf8(pasted));
            }
            break;
        default:
            break;
    }
}

void TEdit::KeyPress(char32_t& key) {
    TWinControl::KeyPress(key);
    if (key < 0x20 || key == 0x7F) return;  // control characters came as keys
    const char32_t typed[1] = {key};
    Replace(std::u32string_view(typed, 1));
}

void TEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == TMouseButton::mbLeft) MoveCaret(CharAt(x), (shift & ssShift) != 0);
    TWinControl::MouseDown(button, shift, x, y);
}

void TEdit::MouseMove(TShiftState shift, int x, int y) {
    const TForm* form = ParentForm();
    if ((shift & ssLeft) && form && form->MouseCapture() == this) MoveCaret(CharAt(x), true);
    TWinControl::MouseMove(shift, x, y);
}

void TEdit::Paint() {
    Canvas& canvas = GetCanvas();
    canvas.FillRect(ClientRect());
    canvas.Brush().Color = clBtnShadow;
    canvas.FrameRect(ClientRect());
    canvas.IntersectClipRect({1, 1, Width() - 1, Height() - 1});
    const int lineHeight = MeasureText(Font(), "").Height;
    const int y = (Height() - lineHeight) / 2;
    const int x0 = kMargin - scroll_;
    if (!Enabled()) canvas.Font().Color = clGrayText;
    canvas.Brush().Style = TBrushStyle::bsClear;
    canvas.DrawTextAt(x0, y, Text());
    if (!Focused()) return;
    if (SelLength() > 0) {
        const int sx = x0 + PrefixWidth(SelStart());
        const int ex = x0 + PrefixWidth(SelStart() + SelLength());
        canvas.Brush() = TBrush{clHighlight, TBrushStyle::bsSolid};
        canvas.FillRect({sx, y, ex, y + lineHeight});
        canvas.Brush().Style = TBrushStyle::bsClear;
        canvas.Font().Color = clHighlightText;
        canvas.DrawTextAt(sx, y, SelText());
    }
    // In the gap before the character, not over its first column.
    const int cx = x0 + PrefixWidth(caret_) - 1;
    canvas.Pen().Color = clWindowText;
    canvas.MoveTo(cx, y);
    canvas.LineTo(cx, y + lineHeight);
}

const PropertyTable& TEdit::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TWinControl::ClassProperties());
        t.Add("Text", &TEdit::Text, &TEdit::SetEditText);
        t.Add("ReadOnly", &TEdit::ReadOnly, &TEdit::SetReadOnly);
        t.Add("MaxLength", &TEdit::MaxLength, &TEdit::SetMaxLength);
        t.Add("SelStart", &TEdit::SelStart, &TEdit::SetSelStart);
        t.Add("SelLength", &TEdit::SelLength, &TEdit::SetSelLength);
        return t;
    }();
    return table;
}

}  // namespace tt
