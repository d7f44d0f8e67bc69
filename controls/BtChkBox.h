#pragma once
#include <cstdint>
#include <string>

#include "toolkit/control.h"
#include "toolkit/gfx/bitmap.h"

namespace tt {

enum class TCheckBoxState : std::uint8_t { cbUnchecked, cbChecked, cbGrayed };

enum class TLeftRight : std::uint8_t {
    taLeftJustify,   // caption at the left, glyph at the right edge
    taRightJustify,  // glyph at the left, caption to its right
};

// A check box whose box is a picture per state, so that it sits on the dark skin. A glyph
// may hold two faces side by side, the second shown while the box is disabled; its
// bottom-left pixel is the colour that lets the box's Color show through.
class TBitCheckBox : public TCustomControl {
  public:
    explicit TBitCheckBox(TComponent* owner);

    TCheckBoxState State() const { return state_; }
    // Never raises OnClick: code sets the state quietly.
    void SetState(TCheckBoxState value);
    bool Checked() const { return state_ == TCheckBoxState::cbChecked; }
    void SetChecked(bool value) {
        SetState(value ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked);
    }
    bool AllowGrayed() const { return allowGrayed_; }
    void SetAllowGrayed(bool value) { allowGrayed_ = value; }
    TLeftRight Alignment() const { return alignment_; }
    void SetAlignment(TLeftRight value);
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool value);

    // The box keeps its own copies. Null puts back the program's picture for that state. A
    // glyph whose width is a whole multiple of its height sets the count of its faces.
    const Bitmap& CheckedGlyph() const { return glyphs_[1]; }
    const Bitmap& GrayedGlyph() const { return glyphs_[2]; }
    const Bitmap& UncheckedGlyph() const { return glyphs_[0]; }
    void SetCheckedGlyph(const Bitmap* glyph) { SetGlyph(TCheckBoxState::cbChecked, glyph); }
    void SetGrayedGlyph(const Bitmap* glyph) { SetGlyph(TCheckBoxState::cbGrayed, glyph); }
    void SetUncheckedGlyph(const Bitmap* glyph) { SetGlyph(TCheckBoxState::cbUnchecked, glyph); }
    // Faces in each glyph, 1 or 2; other values are brought to the nearer.
    int CheckedNumGlyphs() const { return numGlyphs_[1]; }
    int GrayedNumGlyphs() const { return numGlyphs_[2]; }
    int UncheckedNumGlyphs() const { return numGlyphs_[0]; }
    void SetCheckedNumGlyphs(int value) { SetNumGlyphs(TCheckBoxState::cbChecked, value); }
    void SetGrayedNumGlyphs(int value) { SetNumGlyphs(TCheckBoxState::cbGrayed, value); }
    void SetUncheckedNumGlyphs(int value) { SetNumGlyphs(TCheckBoxState::cbUnchecked, value); }

    // Unchecked -> checked (or grayed with AllowGrayed) -> unchecked; grayed -> checked.
    void Toggle();

    // Where the caption goes, and the focus frame around it, in client coordinates.
    TRect TextRect() const;
    // The left edge of the glyph and the width of one face.
    int GlyphLeft() const;
    int GlyphWidth() const;

    void Paint() override;
    void Click() override;
    void KeyPress(char32_t& key) override;
    bool DialogChar(char32_t ch) override;

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  private:
    static int Slot(TCheckBoxState state) { return static_cast<int>(state); }
    void SetGlyph(TCheckBoxState state, const Bitmap* glyph);
    void SetNumGlyphs(TCheckBoxState state, int value);
    std::string StateText() const;
    void SetStateText(const std::string& text);

    TCheckBoxState state_ = TCheckBoxState::cbUnchecked;
    bool allowGrayed_ = false;
    TLeftRight alignment_ = TLeftRight::taRightJustify;
    bool ctl3D_ = true;
    Bitmap glyphs_[3];  // by state: unchecked, checked, grayed
    int numGlyphs_[3] = {1, 1, 1};
};

}  // namespace tt
