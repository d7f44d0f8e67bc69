#pragma once
#include <memory>
#include <string>
#include <vector>

#include "toolkit/control.h"
#include "toolkit/gfx/bitmap.h"

namespace tt {

// UTF-8 <-> code points, for controls that edit text character by character; a byte that is
// not valid UTF-8 becomes the replacement character.
std::u32string DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u32string_view text);
// Text width and line height in a font, with "&" prefixes taken out when `prefix` is set.
TSize MeasureText(const TFont& font, std::string_view text, bool prefix = false);

// Whether ch is the "&" accelerator of the caption, letters compared without case.
bool IsAccel(char32_t ch, std::string_view caption);

// A caption painted on its parent; sized to its text while AutoSize is on, and see-through
// while Transparent is on.
class TLabel : public TGraphicControl {
  public:
    explicit TLabel(TComponent* owner);

    void SetText(const std::string& value) override;
    // While AutoSize is on, only the place is taken: the size stays that of the text.
    void SetBounds(int left, int top, int width, int height) override;
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool value);

    void Paint() override;
    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  protected:
    void FontChanged() override;

  private:
    void AdjustSize();
    bool autoSize_ = true;
    bool transparent_ = false;
    bool showAccelChar_ = true;
};

// A windowless surface whose OnPaint draws everything.
class TPaintBox : public TGraphicControl {
  public:
    explicit TPaintBox(TComponent* owner);
    TNotifyEvent OnPaint;
    void Paint() override;
};

// A one-line edit field.
class TEdit : public TWinControl {
  public:
    explicit TEdit(TComponent* owner);

    const std::string& Text() const { return Caption(); }
    void SetText(const std::string& value) override;
    void SetEditText(const std::string& value) { SetText(value); }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    // In characters; 0 is no limit. Typing and pasting stop there; code may set longer text.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int value) { maxLength_ = std::max(value, 0); }
    // Caret and selection, in characters.
    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int value);
    void SetSelLength(int value);
    std::string SelText() const;
    void SelectAll();

    TNotifyEvent OnChange;

    void Paint() override;
    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(char32_t& key) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    bool WantsChars() const override { return true; }
    bool FocusOnClick() const override { return true; }

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  private:
    static constexpr int kMargin = 3;
    void Replace(std::u32string_view with);  // the selection, by the user
    void Commit();
    void MoveCaret(int to, bool extend);
    int CharAt(int x) const;
    int PrefixWidth(int chars) const;
    void ScrollToCaret();
    void CopyToClipboard() const;

    std::u32string text_;
    int caret_ = 0;
    int anchor_ = 0;
    int scroll_ = 0;  // pixels of text hidden at the left
    bool readOnly_ = false;
    int maxLength_ = 0;
};

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

using TOwnerDrawState = unsigned;
constexpr TOwnerDrawState odSelected = 1;
constexpr TOwnerDrawState odFocused = 16;

using TDrawItemEvent =
    std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;

enum class TBorderStyle { bsNone, bsSingle };

// A list of text lines with fixed row height, drawn by OnDrawItem (or as plain text without
// one), a vertical scroll bar when the rows do not fit, single selection.
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
