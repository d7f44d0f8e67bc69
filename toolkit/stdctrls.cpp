#include "toolkit/stdctrls.h"

#include <algorithm>

#include "base/utf8.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/gfx/font.h"

namespace tt {

// --- text helpers

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
    const std::string shown = prefix ? ParsePrefix(text).Text : std::string(text);
    return TSize{engine.TextWidth(font, shown), engine.Metrics(font).Height};
}

namespace {

// The parts of a vertical scroll bar over `count` rows of which `rows` show from `top`.
struct ScrollBarParts {
    TRect up;
    TRect down;
    TRect thumb;  // empty when the track is too short for one
};

ScrollBarParts ScrollBarLayout(TRect bar, int arrow, int rows, int count, int top) {
    ScrollBarParts p;
    p.up = {bar.Left, bar.Top, bar.Right, bar.Top + arrow};
    p.down = {bar.Left, bar.Bottom - arrow, bar.Right, bar.Bottom};
    const int track = p.down.Top - p.up.Bottom;
    const int thumb = std::max(track * rows / std::max(count, 1), 8);
    const int range = std::max(count - rows, 1);
    const int y = p.up.Bottom + (track - thumb) * top / range;
    if (track > thumb) p.thumb = {bar.Left, y, bar.Right, y + thumb};
    return p;
}

// The first row shown after a press at height y on the bar: a row up or down on the arrows, a
// page on the track, no change on the thumb.
int ScrollBarPress(const ScrollBarParts& p, int y, int rows, int top) {
    if (y < p.up.Bottom) return top - 1;
    if (y >= p.down.Top) return top + 1;
    if (p.thumb.Bottom > p.thumb.Top) {
        if (y < p.thumb.Top) return top - rows;
        if (y >= p.thumb.Bottom) return top + rows;
    }
    return top;
}

// Rows a turn of the wheel moves, three a notch as the platforms do by default; what a fine
// wheel turns by less than a row is kept in `rest` for its next turn. Positive: further down.
int WheelRows(int& rest, int delta) {
    constexpr int kDeltaPerRow = 120 / 3;
    rest += delta;
    const int rows = rest / kDeltaPerRow;
    rest -= rows * kDeltaPerRow;
    return -rows;
}

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

namespace {

void DownArrow(Canvas& canvas, int cx, int cy) {
    for (int i = 0; i < 4; ++i) {
        canvas.MoveTo(cx - 3 + i, cy - 1 + i);
        canvas.LineTo(cx + 4 - i, cy - 1 + i);
    }
}

void UpArrow(Canvas& canvas, int cx, int cy) {
    for (int i = 0; i < 4; ++i) {
        canvas.MoveTo(cx - 3 + i, cy + 2 - i);
        canvas.LineTo(cx + 4 - i, cy + 2 - i);
    }
}

void Button(Canvas& canvas, const TRect& r) {
    canvas.Brush() = TBrush{clBtnFace, TBrushStyle::bsSolid};
    canvas.FillRect(r);
    canvas.Brush().Color = clBtnShadow;
    canvas.FrameRect(r);
    canvas.Pen().Color = clBtnText;
}

}  // namespace

// --- TLabel

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    SetControlStyle(csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque);
    SetParentColor(true);
    SetBounds(0, 0, 65, 13);
    AdjustSize();
}

void TLabel::SetText(const std::string& value) {
    TGraphicControl::SetText(value);
    AdjustSize();
}

void TLabel::SetAutoSize(bool value) {
    autoSize_ = value;
    AdjustSize();
}

void TLabel::SetTransparent(bool value) {
    transparent_ = value;
    SetControlStyle(value ? ControlStyle() & ~csOpaque : ControlStyle() | csOpaque);
    Invalidate();
}

void TLabel::SetShowAccelChar(bool value) {
    showAccelChar_ = value;
    AdjustSize();
    Invalidate();
}

void TLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustSize();
}

void TLabel::SetBounds(int left, int top, int width, int height) {
    if (autoSize_) {
        const TSize size = MeasureText(Font(), Caption(), showAccelChar_);
        width = size.Width;
        height = size.Height;
    }
    TGraphicControl::SetBounds(left, top, width, height);
}

void TLabel::AdjustSize() {
    SetBounds(Left(), Top(), Width(), Height());
}

void TLabel::Paint() {
    Canvas& canvas = GetCanvas();
    if (!transparent_) canvas.FillRect(ClientRect());
    canvas.Brush().Style = TBrushStyle::bsClear;
    if (!Enabled()) canvas.Font().Color = clGrayText;
    const int lineHeight = MeasureText(Font(), "").Height;
    canvas.DrawTextLine({0, 0, Width(), lineHeight}, Caption(),
                        showAccelChar_ ? TextPrefix::Accelerator : TextPrefix::None);
}

const PropertyTable& TLabel::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TGraphicControl::ClassProperties());
        t.Add("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize);
        t.Add("Transparent", &TLabel::Transparent, &TLabel::SetTransparent);
        t.Add("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar);
        return t;
    }();
    return table;
}

// --- TPaintBox

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) {
    SetParentColor(true);
    SetBounds(0, 0, 105, 105);
}

void TPaintBox::Paint() {
    if (OnPaint) OnPaint(this);
}

// --- TEdit

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
    return MeasureText(Font(), EncodeUtf8(std::u32string_view(text_).substr(
                                   0, static_cast<size_t>(std::max(chars, 0)))))
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
        case VK_LEFT:
            MoveCaret(SelLength() && !extend ? SelStart() : caret_ - 1, extend);
            break;
        case VK_RIGHT:
            MoveCaret(SelLength() && !extend ? SelStart() + SelLength() : caret_ + 1, extend);
            break;
        case VK_HOME:
            MoveCaret(0, extend);
            break;
        case VK_END:
            MoveCaret(static_cast<int>(text_.size()), extend);
            break;
        case VK_DELETE:
            if (!SelLength() && caret_ < static_cast<int>(text_.size())) anchor_ = caret_ + 1;
            Replace(U"");
            break;
        case VK_BACK:
            if (!SelLength() && caret_ > 0) anchor_ = caret_ - 1;
            Replace(U"");
            break;
        case 'C':
            if (ctrl) CopyToClipboard();
            break;
        case 'X':
            if (ctrl && !readOnly_) {
                CopyToClipboard();
                Replace(U"");
            }
            break;
        case 'V':
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

// --- TComboBox

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
    SetControlStyle(csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque);
    SetTabStop(true);
    SetColor(clWindow);
    SetBounds(0, 0, 145, 21);
}

TComboBox::~TComboBox() {
    if (listWindow_) {
        if (Application* app = Application::CurrentOrNull())
            app->Backend().DestroyWindow(listWindow_);
    }
}

void TComboBox::SetItems(const std::vector<std::string>& items) {
    SetDroppedDown(false);
    items_ = items;
    itemIndex_ = -1;
    SyncText();
}

void TComboBox::AddItem(const std::string& item) {
    items_.push_back(item);
    if (dropped_) PaintList();
}

void TComboBox::Clear() {
    SetItems({});
}

void TComboBox::SetItemIndex(int value) {
    if (value < -1 || value >= static_cast<int>(items_.size())) value = -1;
    itemIndex_ = value;
    SyncText();
}

void TComboBox::SyncText() {
    SetTextQuietly(itemIndex_ >= 0 ? items_[static_cast<size_t>(itemIndex_)] : std::string());
    Invalidate();
}

void TComboBox::Choose(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size()) || index == itemIndex_) return;
    itemIndex_ = index;
    SyncText();
    if (OnChange) OnChange(this);
}

int TComboBox::ItemHeight() const {
    return MeasureText(Font(), "").Height + 2;
}

int TComboBox::VisibleRows() const {
    return std::max(std::min(static_cast<int>(items_.size()), dropDownCount_), 1);
}

TRect TComboBox::ListItemRect(int index) const {
    const int row = index - listTop_;
    const int h = ItemHeight();
    const int right = Width() - 1 - (ListScrolls() ? kListBarWidth : 0);
    return {1, Height() + 1 + row * h, right, Height() + 1 + (row + 1) * h};
}

TRect TComboBox::ListBar() const {
    return {Width() - 1 - kListBarWidth, 1, Width() - 1, VisibleRows() * ItemHeight() + 1};
}

void TComboBox::ScrollList(int top) {
    const int count = static_cast<int>(items_.size());
    top = std::clamp(top, 0, std::max(count - VisibleRows(), 0));
    if (top == listTop_) return;
    listTop_ = top;
    PaintList();
}

void TComboBox::PaintListBar(Canvas& canvas) {
    // In the list's own colours, so that the skinned windows keep their look.
    const TRect bar = ListBar();
    const TColor ink = Font().Color;
    canvas.Brush() = TBrush{Color(), TBrushStyle::bsSolid};
    canvas.FillRect(bar);
    const ScrollBarParts parts = ScrollBarLayout(bar, kListBarWidth, VisibleRows(),
                                                 static_cast<int>(items_.size()), listTop_);
    canvas.Brush().Color = ink;
    canvas.FrameRect(bar);
    canvas.FrameRect(parts.up);
    canvas.FrameRect(parts.down);
    canvas.Pen().Color = ink;
    UpArrow(canvas, (parts.up.Left + parts.up.Right) / 2 - 1,
            (parts.up.Top + parts.up.Bottom) / 2 - 2);
    DownArrow(canvas, (parts.down.Left + parts.down.Right) / 2 - 1,
              (parts.down.Top + parts.down.Bottom) / 2 - 1);
    if (parts.thumb.Bottom > parts.thumb.Top) {
        canvas.FillRect({parts.thumb.Left + 2, parts.thumb.Top + 1, parts.thumb.Right - 2,
                         parts.thumb.Bottom - 1});
    }
}

void TComboBox::SetDroppedDown(bool value) {
    if (value == dropped_) return;
    TForm* form = ParentForm();
    Application& app = Application::Current();
    if (value) {
        if (!form || !Showing()) return;
        dropped_ = true;
        hot_ = itemIndex_;
        const int rows = VisibleRows();
        const int count = static_cast<int>(items_.size());
        listTop_ = std::clamp(itemIndex_ - rows + 1, 0, std::max(count - rows, 0));
        if (!listWindow_) listWindow_ = app.Backend().CreateTopWindow({true, true, true}, "");
        form->SetMouseCapture(this);
        PaintList();
        app.Backend().ShowWindow(listWindow_, true, false);
    } else {
        dropped_ = false;
        if (form && form->MouseCapture() == this) form->SetMouseCapture(nullptr);
        if (listWindow_) app.Backend().ShowWindow(listWindow_, false, false);
    }
    Invalidate();
}

void TComboBox::PaintList() {
    const int h = ItemHeight();
    listBuffer_.SetSize(Width(), VisibleRows() * h + 2);
    Canvas& canvas = listBuffer_.GetCanvas();
    canvas.Font() = Font();
    canvas.Brush() = TBrush{Color(), TBrushStyle::bsSolid};
    canvas.FillRect(listBuffer_.BoundsRect());
    canvas.Brush().Color = clBlack;
    canvas.FrameRect(listBuffer_.BoundsRect());
    for (int i = listTop_; i < static_cast<int>(items_.size()) && i < listTop_ + VisibleRows();
         ++i) {
        const TRect r = ListItemRect(i).Offset(0, -Height());
        canvas.Font().Color = Font().Color;
        if (i == hot_) {
            canvas.Brush() = TBrush{clHighlight, TBrushStyle::bsSolid};
            canvas.FillRect(r);
            canvas.Font().Color = clHighlightText;
        }
        canvas.Brush().Style = TBrushStyle::bsClear;
        canvas.DrawTextLine({r.Left + 2, r.Top, r.Right, r.Bottom}, items_[static_cast<size_t>(i)],
                            TextPrefix::None);
    }
    if (ListScrolls()) PaintListBar(canvas);
    const TPoint at = ClientToScreen({0, Height()});
    ui::Backend& backend = Application::Current().Backend();
    backend.SetBounds(listWindow_,
                      {at.X, at.Y, at.X + listBuffer_.Width(), at.Y + listBuffer_.Height()});
    backend.Present(listWindow_, listBuffer_.Bits(), listBuffer_.Width(), listBuffer_.Height(),
                    {0, 0, listBuffer_.Width(), listBuffer_.Height()});
}

void TComboBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (dropped_) {
        const TRect list{0, Height(), Width(), Height() + VisibleRows() * ItemHeight() + 2};
        const TRect bar = ListBar().Offset(0, Height());
        if (ListScrolls() && bar.Contains({x, y})) {
            // The bar scrolls the list and keeps it open.
            if (button == TMouseButton::mbLeft) {
                const ScrollBarParts parts = ScrollBarLayout(
                    bar, kListBarWidth, VisibleRows(), static_cast<int>(items_.size()), listTop_);
                ScrollList(ScrollBarPress(parts, y, VisibleRows(), listTop_));
            }
            TWinControl::MouseDown(button, shift, x, y);
            return;
        }
        int chosen = -1;
        if (button == TMouseButton::mbLeft && list.Contains({x, y})) {
            const int i = listTop_ + (y - Height() - 1) / ItemHeight();
            if (y > Height() && i < static_cast<int>(items_.size())) chosen = i;
        }
        SetDroppedDown(false);
        Choose(chosen);
    } else if (button == TMouseButton::mbLeft && ClientRect().Contains({x, y})) {
        SetDroppedDown(true);
    }
    TWinControl::MouseDown(button, shift, x, y);
}

bool TComboBox::MouseWheel(int delta, TShiftState) {
    const int rows = WheelRows(wheelRest_, delta);
    if (dropped_) {
        ScrollList(listTop_ + rows);
    } else if (Focused() && rows != 0 && !items_.empty()) {
        // A closed list with the focus steps through its items, one a notch.
        const int last = static_cast<int>(items_.size()) - 1;
        Choose(std::clamp(itemIndex_ + (rows > 0 ? 1 : -1), 0, last));
    }
    return true;
}

void TComboBox::MouseMove(TShiftState shift, int x, int y) {
    if (dropped_ && y > Height() && x >= 0 && x < ListItemRect(0).Right) {
        const int i = listTop_ + (y - Height() - 1) / ItemHeight();
        if (i < listTop_ + VisibleRows() && i < static_cast<int>(items_.size()) && i != hot_) {
            hot_ = i;
            PaintList();
        }
    }
    TWinControl::MouseMove(shift, x, y);
}

void TComboBox::KeyDown(int& key, TShiftState shift) {
    TWinControl::KeyDown(key, shift);
    const int last = static_cast<int>(items_.size()) - 1;
    if (key == VK_F4 || ((shift & ssAlt) && (key == VK_DOWN || key == VK_UP))) {
        SetDroppedDown(!dropped_);
        return;
    }
    if (dropped_) {
        if (key == VK_UP || key == VK_DOWN) {
            hot_ = std::clamp(hot_ + (key == VK_UP ? -1 : 1), 0, std::max(last, 0));
            listTop_ = std::clamp(listTop_, hot_ - VisibleRows() + 1, hot_);
            PaintList();
        } else if (key == VK_RETURN) {
            const int chosen = hot_;
            SetDroppedDown(false);
            Choose(chosen);
        } else if (key == VK_ESCAPE) {
            SetDroppedDown(false);
        }
        return;
    }
    if (last < 0) return;
    switch (key) {
        case VK_UP:
            Choose(std::max(itemIndex_ - 1, 0));
            break;
        case VK_DOWN:
            Choose(std::min(itemIndex_ + 1, last));
            break;
        case VK_HOME:
            Choose(0);
            break;
        case VK_END:
            Choose(last);
            break;
        default:
            break;
    }
}

void TComboBox::DoExit() {
    SetDroppedDown(false);
    TWinControl::DoExit();
}

void TComboBox::Paint() {
    Canvas& canvas = GetCanvas();
    const int w = Width();
    const int h = Height();
    canvas.FillRect(ClientRect());
    canvas.Brush().Color = clBtnShadow;
    canvas.FrameRect(ClientRect());
    const TRect button{w - 1 - kButtonWidth, 1, w - 1, h - 1};
    Button(canvas, button);
    DownArrow(canvas, (button.Left + button.Right) / 2, h / 2);
    TRect text{2, 2, button.Left - 1, h - 2};
    if (!Enabled()) canvas.Font().Color = clGrayText;
    if (Focused() && !dropped_) {
        canvas.Brush() = TBrush{clHighlight, TBrushStyle::bsSolid};
        canvas.FillRect(text);
        canvas.Font().Color = clHighlightText;
    }
    canvas.Brush().Style = TBrushStyle::bsClear;
    canvas.DrawTextLine({text.Left + 1, text.Top, text.Right, text.Bottom}, Text(),
                        TextPrefix::None);
    if (Focused() && !dropped_) canvas.DrawFocusRect(text);
}

const PropertyTable& TComboBox::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TWinControl::ClassProperties());
        t.Add("ItemIndex", &TComboBox::ItemIndex, &TComboBox::SetItemIndex);
        t.Add("Text", &TComboBox::Text);
        t.Add("DroppedDown", &TComboBox::DroppedDown, &TComboBox::SetDroppedDown);
        t.Add("ListTop", &TComboBox::ListTop);
        t.AddText<TComboBox>("Items.Count",
                             [](const TComboBox& c) { return std::to_string(c.Items().size()); });
        t.AddText<TComboBox>("Items", [](const TComboBox& c) {
            std::string joined;
            for (size_t i = 0; i < c.Items().size(); ++i) {
                if (i) joined += '|';
                joined += c.Items()[i];
            }
            return joined;
        });
        return t;
    }();
    return table;
}

// --- TListBox

namespace {
class OwnItems : public TListItems {
  public:
    explicit OwnItems(std::vector<std::string> items) : items_(std::move(items)) {}
    size_t size() const override { return items_.size(); }
    std::string_view operator[](size_t index) const override { return items_[index]; }
    std::vector<std::string>& Vector() { return items_; }

  private:
    std::vector<std::string> items_;
};
}  // namespace

TListBox::TListBox(TComponent* owner) : TWinControl(owner) {
    auto own = std::make_unique<OwnItems>(std::vector<std::string>{});
    own_ = &own->Vector();
    items_ = std::move(own);
    SetControlStyle(csCaptureMouse | csDoubleClicks | csOpaque);
    SetTabStop(true);
    SetColor(clWindow);
    SetBounds(0, 0, 121, 97);
}

void TListBox::SetItems(const std::vector<std::string>& items) {
    auto own = std::make_unique<OwnItems>(items);
    std::vector<std::string>* vector = &own->Vector();
    SetItemSource(std::move(own));
    own_ = vector;
}

void TListBox::SetItemSource(std::unique_ptr<TListItems> source) {
    own_ = nullptr;
    items_ = std::move(source);
    itemIndex_ = -1;
    topIndex_ = 0;
    Invalidate();
}

void TListBox::AddItem(const std::string& item) {
    if (own_ == nullptr) {
        std::vector<std::string> rows;
        rows.reserve(items_->size() + 1);
        for (size_t i = 0; i < items_->size(); ++i) rows.emplace_back((*items_)[i]);
        const int index = itemIndex_;
        const int top = topIndex_;
        SetItems(rows);
        itemIndex_ = index;
        topIndex_ = top;
    }
    own_->push_back(item);
    Invalidate();
}

void TListBox::Clear() {
    SetItems({});
}

int TListBox::VisibleRows() const {
    const int border = borderStyle_ == TBorderStyle::bsSingle ? 1 : 0;
    return std::max((Height() - 2 * border) / std::max(itemHeight_, 1), 1);
}

TRect TListBox::RowArea() const {
    const int b = borderStyle_ == TBorderStyle::bsSingle ? 1 : 0;
    return {b, b, Width() - b - (ScrollBarShown() ? kScrollBarWidth : 0), Height() - b};
}

TRect TListBox::ItemRect(int index) const {
    const TRect area = RowArea();
    const int row = index - topIndex_;
    return {area.Left, area.Top + row * itemHeight_, area.Right,
            area.Top + (row + 1) * itemHeight_};
}

void TListBox::SetItemIndex(int value) {
    if (value < -1 || value >= Count()) value = -1;
    itemIndex_ = value;
    if (value >= 0) {
        if (value < topIndex_) SetTopIndex(value);
        if (value >= topIndex_ + VisibleRows()) SetTopIndex(value - VisibleRows() + 1);
    }
    Invalidate();
}

void TListBox::SetTopIndex(int value) {
    topIndex_ = std::clamp(value, 0, std::max(Count() - VisibleRows(), 0));
    Invalidate();
}

void TListBox::SetItemHeight(int value) {
    itemHeight_ = std::max(value, 1);
    SetTopIndex(topIndex_);
}

void TListBox::SetBorderStyle(TBorderStyle value) {
    borderStyle_ = value;
    Invalidate();
}

void TListBox::SelectByUser(int index) {
    if (Count() == 0) return;
    index = std::clamp(index, 0, Count() - 1);
    const bool changed = index != itemIndex_;
    SetItemIndex(index);
    if (changed) Click();
}

void TListBox::Paint() {
    Canvas& canvas = GetCanvas();
    if (borderStyle_ == TBorderStyle::bsSingle) {
        canvas.Brush().Color = clBtnShadow;
        canvas.FrameRect(ClientRect());
    }
    const TRect area = RowArea();
    const int focusRow = Focused() && Count() > 0 ? std::max(itemIndex_, 0) : -1;
    const Canvas::State base = canvas.Save();
    canvas.IntersectClipRect(area);
    for (int i = topIndex_;; ++i) {
        const TRect r = ItemRect(i);
        if (r.Top >= area.Bottom) break;
        canvas.Restore(base);
        canvas.IntersectClipRect(area);
        if (i >= Count()) {
            canvas.Brush() = TBrush{Color(), TBrushStyle::bsSolid};
            canvas.FillRect({area.Left, r.Top, area.Right, area.Bottom});
            break;
        }
        TOwnerDrawState state = i == itemIndex_ ? odSelected : 0;
        if (i == focusRow) state |= odFocused;
        canvas.Brush() = TBrush{state & odSelected ? clHighlight : Color(), TBrushStyle::bsSolid};
        if (state & odSelected) canvas.Font().Color = clHighlightText;
        if (OnDrawItem) {
            OnDrawItem(this, i, r, state);
        } else {
            canvas.FillRect(r);
            canvas.DrawTextLine({r.Left + 2, r.Top, r.Right, r.Bottom},
                                (*items_)[static_cast<size_t>(i)], TextPrefix::None);
        }
        if (state & odFocused) canvas.DrawFocusRect(r);
    }
    canvas.Restore(base);
    if (ScrollBarShown()) PaintScrollBar(canvas);
}

void TListBox::PaintScrollBar(Canvas& canvas) {
    const TRect area = RowArea();
    const TRect bar{area.Right, area.Top, area.Right + kScrollBarWidth, area.Bottom};
    canvas.Brush() = TBrush{ColorRGB(224, 224, 224), TBrushStyle::bsSolid};
    canvas.FillRect(bar);
    const ScrollBarParts parts =
        ScrollBarLayout(bar, kScrollBarWidth, VisibleRows(), Count(), topIndex_);
    Button(canvas, parts.up);
    UpArrow(canvas, (parts.up.Left + parts.up.Right) / 2, (parts.up.Top + parts.up.Bottom) / 2 - 1);
    Button(canvas, parts.down);
    DownArrow(canvas, (parts.down.Left + parts.down.Right) / 2,
              (parts.down.Top + parts.down.Bottom) / 2 - 1);
    if (parts.thumb.Bottom > parts.thumb.Top) Button(canvas, parts.thumb);
}

bool TListBox::MouseWheel(int delta, TShiftState) {
    SetTopIndex(topIndex_ + WheelRows(wheelRest_, delta));
    return true;
}

void TListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    const TRect area = RowArea();
    if (button == TMouseButton::mbLeft) {
        if (ScrollBarShown() && x >= area.Right) {
            const TRect bar{area.Right, area.Top, area.Right + kScrollBarWidth, area.Bottom};
            const ScrollBarParts parts =
                ScrollBarLayout(bar, kScrollBarWidth, VisibleRows(), Count(), topIndex_);
            SetTopIndex(ScrollBarPress(parts, y, VisibleRows(), topIndex_));
        } else if (area.Contains({x, y})) {
            const int i = topIndex_ + (y - area.Top) / itemHeight_;
            if (i < Count()) SelectByUser(i);
        }
    }
    TWinControl::MouseDown(button, shift, x, y);
}

void TListBox::MouseMove(TShiftState shift, int x, int y) {
    const TForm* form = ParentForm();
    const TRect area = RowArea();
    if ((shift & ssLeft) && form && form->MouseCapture() == this && x < area.Right && Count() > 0) {
        const int row = y < area.Top ? -1 : (y - area.Top) / itemHeight_;
        SelectByUser(topIndex_ + row);
    }
    TWinControl::MouseMove(shift, x, y);
}

void TListBox::KeyDown(int& key, TShiftState shift) {
    TWinControl::KeyDown(key, shift);
    const int rows = VisibleRows();
    switch (key) {
        case VK_UP:
            SelectByUser(itemIndex_ - 1);
            break;
        case VK_DOWN:
            SelectByUser(itemIndex_ + 1);
            break;
        case VK_PRIOR:
            SelectByUser(itemIndex_ - rows + 1);
            break;
        case VK_NEXT:
            SelectByUser(itemIndex_ + rows - 1);
            break;
        case VK_HOME:
            SelectByUser(0);
            break;
        case VK_END:
            SelectByUser(Count() - 1);
            break;
        default:
            break;
    }
}

const PropertyTable& TListBox::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TWinControl::ClassProperties());
        t.Add("ItemIndex", &TListBox::ItemIndex, &TListBox::SetItemIndex);
        t.Add("TopIndex", &TListBox::TopIndex, &TListBox::SetTopIndex);
        t.Add("ItemHeight", &TListBox::ItemHeight, &TListBox::SetItemHeight);
        t.Add("Count", &TListBox::Count);
        return t;
    }();
    return table;
}

}  // namespace tt
