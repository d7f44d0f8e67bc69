#pragma once
#include <algorithm>
#include <string>
#include <string_view>

#include "toolkit/control.h"

namespace tt {

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

}  // namespace tt
