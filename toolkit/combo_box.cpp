#include "toolkit/combo_box.h"

#include <algorithm>

#include "toolkit/application.h"
#include "toolkit/control_parts.h"
#include "toolkit/control_text.h"
#include "toolkit/form.h"

namespace tt {

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
    const parts::ScrollBarParts layout = parts::ScrollBarLayout(
        bar, kListBarWidth, VisibleRows(), static_cast<int>(items_.size()), listTop_);
    canvas.Brush().Color = ink;
    canvas.FrameRect(bar);
    canvas.FrameRect(layout.up);
    canvas.FrameRect(layout.down);
    canvas.Pen().Color = ink;
    parts::UpArrow(canvas, (layout.up.Left + layout.up.Right) / 2 - 1,
                   (layout.up.Top + layout.up.Bottom) / 2 - 2);
    parts::DownArrow(canvas, (layout.down.Left + layout.down.Right) / 2 - 1,
                     (layout.down.Top + layout.down.Bottom) / 2 - 1);
    if (layout.thumb.Bottom > layout.thumb.Top) {
        canvas.FillRect({layout.thumb.Left + 2, layout.thumb.Top + 1, layout.thumb.Right - 2,
                         layout.thumb.Bottom - 1});
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
                const parts::ScrollBarParts layout = parts::ScrollBarLayout(
                    bar, kListBarWidth, VisibleRows(), static_cast<int>(items_.size()), listTop_);
                ScrollList(parts::ScrollBarPress(layout, y, VisibleRows(), listTop_));
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
    const int rows = parts::WheelRows(wheelRest_, delta);
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
    if (key == ui::kKeyF4 || ((shift & ssAlt) && (key == ui::kKeyDown || key == ui::kKeyUp))) {
        SetDroppedDown(!dropped_);
        return;
    }
    if (dropped_) {
        if (key == ui::kKeyUp || key == ui::kKeyDown) {
            hot_ = std::clamp(hot_ + (key == ui::kKeyUp ? -1 : 1), 0, std::max(last, 0));
            listTop_ = std::clamp(listTop_, hot_ - VisibleRows() + 1, hot_);
            PaintList();
        } else if (key == ui::kKeyReturn) {
            const int chosen = hot_;
            SetDroppedDown(false);
            Choose(chosen);
        } else if (key == ui::kKeyEscape) {
            SetDroppedDown(false);
        }
        return;
    }
    if (last < 0) return;
    switch (key) {
        case ui::kKeyUp:
            Choose(std::max(itemIndex_ - 1, 0));
            break;
        case ui::kKeyDown:
            Choose(std::min(itemIndex_ + 1, last));
            break;
        case ui::kKeyHome:
            Choose(0);
            break;
        case ui::kKeyEnd:
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
    parts::Button(canvas, button);
    parts::DownArrow(canvas, (button.Left + button.Right) / 2, h / 2);
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

}  // namespace tt
