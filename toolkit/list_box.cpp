#include "toolkit/list_box.h"

#include <algorithm>

#include "toolkit/control_parts.h"
#include "toolkit/form.h"

namespace tt {

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
    const parts::ScrollBarParts layout =
        parts::ScrollBarLayout(bar, kScrollBarWidth, VisibleRows(), Count(), topIndex_);
    parts::Button(canvas, layout.up);
    parts::UpArrow(canvas, (layout.up.Left + layout.up.Right) / 2,
                   (layout.up.Top + layout.up.Bottom) / 2 - 1);
    parts::Button(canvas, layout.down);
    parts::DownArrow(canvas, (layout.down.Left + layout.down.Right) / 2,
                     (layout.down.Top + layout.down.Bottom) / 2 - 1);
    if (layout.thumb.Bottom > layout.thumb.Top) parts::Button(canvas, layout.thumb);
}

bool TListBox::MouseWheel(int delta, TShiftState) {
    SetTopIndex(topIndex_ + parts::WheelRows(wheelRest_, delta));
    return true;
}

void TListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    const TRect area = RowArea();
    if (button == TMouseButton::mbLeft) {
        if (ScrollBarShown() && x >= area.Right) {
            const TRect bar{area.Right, area.Top, area.Right + kScrollBarWidth, area.Bottom};
            const parts::ScrollBarParts layout =
                parts::ScrollBarLayout(bar, kScrollBarWidth, VisibleRows(), Count(), topIndex_);
            SetTopIndex(parts::ScrollBarPress(layout, y, VisibleRows(), topIndex_));
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
        case ui::kKeyUp:
            SelectByUser(itemIndex_ - 1);
            break;
        case ui::kKeyDown:
            SelectByUser(itemIndex_ + 1);
            break;
        case ui::kKeyPageUp:
            SelectByUser(itemIndex_ - rows + 1);
            break;
        case ui::kKeyPageDown:
            SelectByUser(itemIndex_ + rows - 1);
            break;
        case ui::kKeyHome:
            SelectByUser(0);
            break;
        case ui::kKeyEnd:
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
