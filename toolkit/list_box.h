#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/control.h"

namespace tt {

using TOwnerDrawState = unsigned;
constexpr TOwnerDrawState odSelected = 1;
constexpr TOwnerDrawState odFocused = 16;

using TDrawItemEvent =
    std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;

enum class TBorderStyle { bsNone, bsSingle };

// The rows of a list box, read by index. The list box keeps its own; a window with very many
// rows can give it a source that holds them more compactly than one string each.
class TListItems {
  public:
    virtual ~TListItems() = default;
    virtual size_t size() const = 0;
    virtual std::string_view operator[](size_t index) const = 0;
    bool empty() const { return size() == 0; }
    std::string_view back() const { return (*this)[size() - 1]; }
};

// A list of text lines with fixed row height, drawn by OnDrawItem (or as plain text without
// one), a vertical scroll bar when the rows do not fit, single selection.
class TListBox : public TWinControl {
  public:
    explicit TListBox(TComponent* owner);

    const TListItems& Items() const { return *items_; }
    void SetItems(const std::vector<std::string>& items);
    // Shows the rows of `source` from now on, as SetItems does with a copy.
    void SetItemSource(std::unique_ptr<TListItems> source);
    void AddItem(const std::string& item);
    void Clear();
    int Count() const { return static_cast<int>(items_->size()); }
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int value);
    int TopIndex() const { return topIndex_; }
    void SetTopIndex(int value);
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    // Rows that fit wholly.
    int VisibleRows() const;
    bool ScrollBarShown() const { return Count() > VisibleRows(); }
    TRect ItemRect(int index) const;

    TDrawItemEvent OnDrawItem;

    void Paint() override;
    void KeyDown(int& key, TShiftState shift) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    bool MouseWheel(int delta, TShiftState shift) override;
    bool FocusOnClick() const override { return true; }

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  private:
    static constexpr int kScrollBarWidth = 16;
    TRect RowArea() const;
    void SelectByUser(int index);
    void PaintScrollBar(Canvas& canvas);

    // The list box's own rows, or nothing while a source shows its rows.
    std::vector<std::string>* own_ = nullptr;
    std::unique_ptr<TListItems> items_;
    int itemIndex_ = -1;
    int topIndex_ = 0;
    int itemHeight_ = 13;
    TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
    int wheelRest_ = 0;
};

}  // namespace tt
