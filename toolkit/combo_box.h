#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include "toolkit/control.h"
#include "toolkit/gfx/bitmap.h"

namespace tt {

// A drop-down list: the field shows the chosen item, the list opens below it.
class TComboBox : public TWinControl {
  public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;

    const std::vector<std::string>& Items() const { return items_; }
    void SetItems(const std::vector<std::string>& items);
    void AddItem(const std::string& item);
    void Clear();
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int value);
    // The chosen item's text, "" with none.
    const std::string& Text() const { return Caption(); }
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int value) { dropDownCount_ = std::max(value, 1); }
    bool DroppedDown() const { return dropped_; }
    void SetDroppedDown(bool value);
    // Where item `index` of the open list lies, in the combo box's client coordinates.
    TRect ListItemRect(int index) const;
    bool ListItemShown(int index) const {
        return dropped_ && index >= listTop_ && index < listTop_ + VisibleRows() &&
               index < static_cast<int>(items_.size());
    }
    // The item the open list marks (pointer or arrow keys), -1 for none.
    int HotIndex() const { return hot_; }
    // The first item the open list shows; it scrolls when there are more than DropDownCount.
    int ListTop() const { return listTop_; }
    bool ListScrolls() const { return static_cast<int>(items_.size()) > dropDownCount_; }
    int DropDownWindowId() const { return listWindow_; }
    const Bitmap& DropDownBuffer() const { return listBuffer_; }

    // The user chose another item.
    TNotifyEvent OnChange;

    void Paint() override;
    void KeyDown(int& key, TShiftState shift) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    bool MouseWheel(int delta, TShiftState shift) override;
    bool FocusOnClick() const override { return true; }
    void DoExit() override;

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  private:
    static constexpr int kButtonWidth = 17;
    static constexpr int kListBarWidth = 12;
    int ItemHeight() const;
    TRect ListBar() const;  // the open list's scroll bar, in the list window's coordinates
    void ScrollList(int top);
    void PaintListBar(Canvas& canvas);
    int VisibleRows() const;
    void Choose(int index);
    void PaintList();
    void SyncText();

    std::vector<std::string> items_;
    int itemIndex_ = -1;
    int dropDownCount_ = 8;
    bool dropped_ = false;
    int hot_ = -1;
    int listTop_ = 0;  // first item shown in the open list
    int listWindow_ = 0;
    int wheelRest_ = 0;
    Bitmap listBuffer_;
};

}  // namespace tt
