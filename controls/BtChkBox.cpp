#include "controls/BtChkBox.h"

#include <optional>

#include "base/error.h"
#include "controls/skin/skin.h"
#include "toolkit/form.h"
#include "toolkit/gfx/font.h"
#include "toolkit/stdctrls.h"

namespace tt {

namespace {

constexpr const char* kGlyphResources[3] = {"UNCHECKED", "CHECKED", "GRAYED"};

Bitmap DefaultGlyph(int slot) {
    std::optional<Bitmap> glyph = LoadSkinResource(kGlyphResources[slot]);
    return glyph ? *glyph : Bitmap();
}

}  // namespace

TBitCheckBox::TBitCheckBox(TComponent* owner) : TCustomControl(owner) {
    SetControlStyle(csClickEvents);
    SetBounds(Left(), Top(), 97, 17);
    SetTabStop(true);
    // The program's pictures come in whole, as a stored glyph does: the counts stay 1.
    for (int slot = 0; slot < 3; ++slot) glyphs_[slot] = DefaultGlyph(slot);
}

void TBitCheckBox::SetState(TCheckBoxState value) {
    if (value == state_) return;
    state_ = value;
    Invalidate();
}

void TBitCheckBox::SetAlignment(TLeftRight value) {
    if (value == alignment_) return;
    alignment_ = value;
    Invalidate();
}

void TBitCheckBox::SetCtl3D(bool value) {
    if (value == ctl3D_) return;
    ctl3D_ = value;
    Invalidate();
}

void TBitCheckBox::SetGlyph(TCheckBoxState state, const Bitmap* glyph) {
    const int slot = Slot(state);
    glyphs_[slot] = glyph ? *glyph : DefaultGlyph(slot);
    const Bitmap& g = glyphs_[slot];
    // An empty glyph says nothing about its faces: the count stays.
    if (g.Height() > 0 && g.Width() % g.Height() == 0) {
        SetNumGlyphs(state, g.Width() / g.Height());
    }
    Invalidate();
}

void TBitCheckBox::SetNumGlyphs(TCheckBoxState state, int value) {
    numGlyphs_[Slot(state)] = value < 1 ? 1 : (value > 2 ? 2 : value);
    Invalidate();
}

void TBitCheckBox::Toggle() {
    switch (state_) {
        case TCheckBoxState::cbUnchecked:
            SetState(allowGrayed_ ? TCheckBoxState::cbGrayed : TCheckBoxState::cbChecked);
            break;
        case TCheckBoxState::cbChecked:
            SetState(TCheckBoxState::cbUnchecked);
            break;
        case TCheckBoxState::cbGrayed:
            SetState(TCheckBoxState::cbChecked);
            break;
    }
}

void TBitCheckBox::Click() {
    Toggle();
    TCustomControl::Click();
    if (Showing() && CanFocus()) SetFocus();
}

void TBitCheckBox::KeyPress(char32_t& key) {
    TCustomControl::KeyPress(key);
    if (key == U' ') {
        Click();
        key = 0;  // handled: not an accelerator for anyone else
    }
}

bool TBitCheckBox::DialogChar(char32_t ch) {
    if (!IsAccel(ch, Caption())) return false;
    if (!Enabled() || !CanFocus()) return false;
    SetFocus();
    // The keyboard's way does not count as a click: OnClick handlers are for the mouse
    // and the space key.
    if (Focused()) Toggle();
    return true;
}

int TBitCheckBox::GlyphWidth() const {
    const int slot = Slot(state_);
    return glyphs_[slot].Width() / numGlyphs_[slot];
}

int TBitCheckBox::GlyphLeft() const {
    return alignment_ == TLeftRight::taRightJustify ? 0 : Width() - GlyphWidth();
}

TRect TBitCheckBox::TextRect() const {
    const std::string& caption = Caption();
    const TSize extent = MeasureText(Font(), caption);
    int width = extent.Width;
    if (caption.find('&') != std::string::npos) width -= MeasureText(Font(), "&").Width;
    TRect t;
    t.Left = alignment_ == TLeftRight::taRightJustify ? GlyphWidth() + 4 : 1;
    t.Right = t.Left + width;
    t.Top = (Height() - extent.Height) / 2 - 2;
    t.Bottom = t.Top + extent.Height + 3;
    return Intersect(t, ClientRect());
}

void TBitCheckBox::Paint() {
    Canvas& canvas = GetCanvas();
    canvas.Brush() = TBrush{Color(), TBrushStyle::bsSolid};
    canvas.FillRect(ClientRect());
    canvas.Brush().Style = TBrushStyle::bsClear;

    const TRect t = TextRect();
    if (!t.IsEmpty()) {
        // Drawn in T itself: a letter whose first column meets the focus frame's dots loses
        // them to the inversion, as it does on the platform's own check boxes.
        const TRect& ink = t;
        if (Enabled()) {
            canvas.DrawTextLine(ink, Caption(), TextPrefix::Accelerator);
        } else {
            const TColor color = canvas.Font().Color;
            if (ctl3D_) {
                canvas.Font().Color = clBtnHighlight;
                canvas.DrawTextLine(ink.Offset(1, 1), Caption(), TextPrefix::Accelerator);
            }
            canvas.Font().Color = clGrayText;
            canvas.DrawTextLine(ink, Caption(), TextPrefix::Accelerator);
            canvas.Font().Color = color;
        }
    }

    canvas.Brush() = TBrush{Color(), TBrushStyle::bsSolid};
    if (Focused()) canvas.DrawFocusRect({t.Left, t.Top, t.Right + 2, t.Bottom});

    const int slot = Slot(state_);
    const Bitmap& glyph = glyphs_[slot];
    if (glyph.Empty()) return;
    const int gw = GlyphWidth();
    const int sourceLeft = !Enabled() && numGlyphs_[slot] == 2 ? gw : 0;
    const int y = (Height() - glyph.Height()) / 2;
    const TColor key = glyph.GetPixel(0, glyph.Height() - 1);
    canvas.BrushCopy(GlyphLeft(), y, glyph, {sourceLeft, 0, sourceLeft + gw, glyph.Height()}, key);
}

std::string TBitCheckBox::StateText() const {
    switch (state_) {
        case TCheckBoxState::cbChecked:
            return "cbChecked";
        case TCheckBoxState::cbGrayed:
            return "cbGrayed";
        default:
            return "cbUnchecked";
    }
}

void TBitCheckBox::SetStateText(const std::string& text) {
    if (text == "cbUnchecked" || text == "0") {
        SetState(TCheckBoxState::cbUnchecked);
    } else if (text == "cbChecked" || text == "1") {
        SetState(TCheckBoxState::cbChecked);
    } else if (text == "cbGrayed" || text == "2") {
        SetState(TCheckBoxState::cbGrayed);
    } else {
        throw Error("\"" + text + "\" is not a check box state");
    }
}

const PropertyTable& TBitCheckBox::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TCustomControl::ClassProperties());
        t.Add("State", &TBitCheckBox::StateText, &TBitCheckBox::SetStateText);
        t.Add("Checked", &TBitCheckBox::Checked, &TBitCheckBox::SetChecked);
        t.Add("AllowGrayed", &TBitCheckBox::AllowGrayed, &TBitCheckBox::SetAllowGrayed);
        t.Add("Ctl3D", &TBitCheckBox::Ctl3D, &TBitCheckBox::SetCtl3D);
        t.Add("CheckedNumGlyphs", &TBitCheckBox::CheckedNumGlyphs,
              &TBitCheckBox::SetCheckedNumGlyphs);
        t.Add("GrayedNumGlyphs", &TBitCheckBox::GrayedNumGlyphs, &TBitCheckBox::SetGrayedNumGlyphs);
        t.Add("UncheckedNumGlyphs", &TBitCheckBox::UncheckedNumGlyphs,
              &TBitCheckBox::SetUncheckedNumGlyphs);
        t.AddText<TBitCheckBox>("Alignment", [](const TBitCheckBox& b) {
            return std::string(b.Alignment() == TLeftRight::taLeftJustify ? "taLeftJustify"
                                                                          : "taRightJustify");
        });
        return t;
    }();
    return table;
}

}  // namespace tt
