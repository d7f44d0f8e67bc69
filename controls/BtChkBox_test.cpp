#include "controls/BtChkBox.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "controls/skin/skin.h"
#include "testing/toolkit_test_util.h"
#include "toolkit/gfx/png.h"

namespace tt {
namespace {

constexpr TColor kField = ColorRGB(0, 0, 66);
constexpr TColor kInk = ColorRGB(255, 255, 128);
constexpr TColor kOlive = ColorRGB(128, 128, 0);

using Log = std::vector<std::string>;

// Faces side by side, each flat in its colour, with the olive corner that marks the
// transparent colour.
Bitmap FacedGlyph(std::vector<TColor> faces, int w, int h) {
    Bitmap glyph(w * static_cast<int>(faces.size()), h);
    for (size_t i = 0; i < faces.size(); ++i) {
        glyph.GetCanvas().Brush().Color = faces[i];
        glyph.GetCanvas().FillRect(Bounds(static_cast<int>(i) * w, 0, w, h));
    }
    glyph.SetPixel(0, h - 1, kOlive);
    return glyph;
}

class BtChkBoxTest : public testing::ToolkitTest {
  protected:
    TForm& form = app->CreateForm<TForm>();
    TBitCheckBox* other = Add("DoEkranu", 10, 40, "przyciagaj do ekranu");
    TBitCheckBox* box = Add("DoPulpitu", 10, 10, "przyciagaj do &pulpitu");
    Log log;

    void SetUp() override {
        form.SetName("frmOpcje");
        form.SetBorderStyle(TFormBorderStyle::bsNone);
        form.SetBounds(100, 100, 220, 80);
        form.SetColor(kField);
        TFont font;
        font.Color = kInk;
        form.SetFont(font);
        box->OnClick = [this](TComponent*) { log.push_back("click " + box->GetProperty("State")); };
        form.Show();
        app->ProcessMessages();
    }

    TBitCheckBox* Add(const char* name, int x, int y, const char* caption) {
        auto* b = new TBitCheckBox(&form);
        b->SetName(name);
        b->SetParent(&form);
        b->SetLeft(x);
        b->SetTop(y);
        b->SetColor(kField);
        b->SetCaption(caption);
        return b;
    }

    TColor At(const TControl& c, int x, int y) {
        app->ProcessMessages();
        const TPoint p = c.ClientToForm({x, y});
        return form.Buffer().GetPixel(p.X, p.Y);
    }
    bool CaptionHas(TColor ink) {
        const TRect t = box->TextRect();
        for (int y = t.Top; y < t.Bottom; ++y) {
            for (int x = t.Left; x <= t.Right; ++x) {
                if (At(*box, x, y) == ink) return true;
            }
        }
        return false;
    }
};

TEST_F(BtChkBoxTest, AClickTogglesThenTellsThenTakesTheFocus) {
    EXPECT_EQ(box->Width(), 97);
    EXPECT_EQ(box->Height(), 17);
    other->SetFocus();
    driver.Click("frmOpcje.DoPulpitu", 50, 8);  // the caption is part of the box
    EXPECT_EQ(log, (Log{"click cbChecked"}));
    EXPECT_TRUE(box->Focused());

    // Both presses of a double click are clicks.
    backend.Advance(1000);
    driver.DblClick("frmOpcje.DoPulpitu", 5, 8);
    EXPECT_EQ(log, (Log{"click cbChecked", "click cbUnchecked", "click cbChecked"}));

    // Code sets any state without an event.
    box->SetProperty("State", "cbGrayed");
    EXPECT_EQ(box->GetProperty("Checked"), "false");
    box->SetProperty("Checked", "true");
    EXPECT_EQ(box->State(), TCheckBoxState::cbChecked);
    EXPECT_EQ(log.size(), 3u);
    EXPECT_THROW(box->SetProperty("State", "cbMaybe"), Error);
}

TEST_F(BtChkBoxTest, ClicksPassThroughGrayedOnlyWhenAllowed) {
    Log seen;
    for (bool grayed : {false, true}) {
        box->SetAllowGrayed(grayed);
        for (int i = 0; i < 3; ++i) {
            backend.Advance(1000);  // apart, or two clicks would make a double click
            driver.Click("frmOpcje.DoPulpitu", 5, 8);
        }
    }
    EXPECT_EQ(log, (Log{"click cbChecked", "click cbUnchecked", "click cbChecked",
                        "click cbUnchecked", "click cbGrayed", "click cbChecked"}));
}

TEST_F(BtChkBoxTest, SpaceIsAClickAndTheAcceleratorTogglesWithoutOne) {
    box->SetFocus();
    driver.Key("Space");
    EXPECT_EQ(log, (Log{"click cbChecked"}));
    box->OnKeyPress = [](TComponent*, char32_t& key) {
        if (key == U' ') key = U'x';
    };
    driver.Key("Space");
    EXPECT_TRUE(box->Checked());

    other->SetFocus();
    driver.Key("Alt+P");
    EXPECT_TRUE(box->Focused());
    EXPECT_FALSE(box->Checked());
    other->SetFocus();
    driver.Type("P");  // a focused box has no use for letters: they are accelerators
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(log.size(), 1u);

    box->SetEnabled(false);
    driver.Key("Alt+P");
    EXPECT_TRUE(box->Checked());
    EXPECT_FALSE(box->Focused());
}

TEST_F(BtChkBoxTest, AGlyphWholeMultipleOfItsHeightSetsItsFaceCount) {
    const Bitmap two = FacedGlyph({clRed, clLime}, 19, 19);
    box->SetCheckedGlyph(&two);
    EXPECT_EQ(box->CheckedNumGlyphs(), 2);
    box->SetChecked(true);
    EXPECT_EQ(box->GlyphWidth(), 19);

    box->SetGrayedNumGlyphs(2);
    const Bitmap one = FacedGlyph({clRed}, 19, 14);
    box->SetGrayedGlyph(&one);
    EXPECT_EQ(box->GrayedNumGlyphs(), 2);  // 19 is no multiple of 14
    box->SetUncheckedNumGlyphs(5);
    EXPECT_EQ(box->UncheckedNumGlyphs(), 2);
    box->SetProperty("UncheckedNumGlyphs", "0");
    EXPECT_EQ(box->UncheckedNumGlyphs(), 1);

    const Bitmap empty;
    box->SetCheckedGlyph(&empty);  // says nothing about faces
    EXPECT_EQ(box->CheckedNumGlyphs(), 2);
    box->SetCheckedGlyph(nullptr);  // back to the program's picture
    EXPECT_EQ(box->CheckedGlyph().Width(), 19);
    EXPECT_EQ(box->CheckedGlyph().GetPixel(0, 13), kOlive);
}

TEST_F(BtChkBoxTest, PlacesGlyphAndCaptionByAlignment) {
    box->SetCaption("&Ab");
    const TSize text = MeasureText(box->Font(), "&Ab");
    const TRect t = box->TextRect();
    EXPECT_EQ(t.Left, 19 + 4);
    EXPECT_EQ(t.Right, 23 + text.Width - MeasureText(box->Font(), "&").Width);
    EXPECT_EQ(t.Top, std::max((17 - text.Height) / 2 - 2, 0));
    EXPECT_EQ(t.Bottom, std::min(t.Top + text.Height + 3, 17));
    other->SetCaption("Ab");
    EXPECT_EQ(other->TextRect().Width(), MeasureText(other->Font(), "Ab").Width);

    box->SetAlignment(TLeftRight::taLeftJustify);
    EXPECT_EQ(box->TextRect().Left, 1);
    const Bitmap marked = FacedGlyph({clRed}, 19, 14);
    box->SetUncheckedGlyph(&marked);
    EXPECT_EQ(At(*box, 96, 8), clRed);
    EXPECT_EQ(At(*box, 77, 8), kField);
    EXPECT_EQ(At(*box, 78, 1 + 13), kField);  // the olive corner lets Color through
    EXPECT_EQ(At(*box, 78, 15), kField);      // below the glyph
}

TEST_F(BtChkBoxTest, TheCaptionIsDrawnInTheTextRectangleItself) {
    box->SetCaption("Hi");
    const TRect t = box->TextRect();
    // The same text drawn by the canvas into the same rectangle, on the box's colour.
    Bitmap expected(box->Width(), box->Height());
    Canvas& canvas = expected.GetCanvas();
    canvas.Brush() = TBrush{kField, TBrushStyle::bsSolid};
    canvas.FillRect(expected.BoundsRect());
    canvas.Brush().Style = TBrushStyle::bsClear;
    canvas.Font() = box->Font();
    canvas.DrawTextLine(t, "Hi", TextPrefix::Accelerator);
    int inked = 0;
    for (int y = t.Top; y < t.Bottom; ++y) {
        for (int x = t.Left; x < t.Right; ++x) {
            EXPECT_EQ(At(*box, x, y), expected.GetPixel(x, y)) << x << "," << y;
            inked += expected.GetPixel(x, y) == kInk;
        }
    }
    EXPECT_GT(inked, 0);
}

TEST_F(BtChkBoxTest, ADisabledBoxShowsTheSecondFaceAndAnEtchedCaption) {
    const Bitmap two = FacedGlyph({clRed, clLime}, 19, 14);
    box->SetUncheckedGlyph(&two);
    box->SetUncheckedNumGlyphs(2);
    EXPECT_EQ(At(*box, 10, 8), clRed);
    EXPECT_TRUE(CaptionHas(kInk));
    box->SetEnabled(false);
    EXPECT_EQ(At(*box, 10, 8), clLime);
    EXPECT_FALSE(CaptionHas(kInk));
    EXPECT_TRUE(CaptionHas(ColorToRGB(clGrayText)));
    EXPECT_TRUE(CaptionHas(ColorToRGB(clBtnHighlight)));
    box->SetCtl3D(false);
    EXPECT_FALSE(CaptionHas(ColorToRGB(clBtnHighlight)));
    box->SetUncheckedNumGlyphs(1);  // one face serves both states
    EXPECT_EQ(At(*box, 10, 8), clRed);
}

TEST_F(BtChkBoxTest, ANarrowBoxShowsTheLeftOfItsGlyphAndNoFrame) {
    auto* chk = Add("chkDisconnect", 150, 10, "");
    chk->SetBounds(150, 10, 14, 16);
    Bitmap glyph = FacedGlyph({clRed}, 19, 14);
    glyph.GetCanvas().Brush().Color = clBlue;
    glyph.GetCanvas().FillRect({13, 0, 14, 13});
    chk->SetUncheckedGlyph(&glyph);
    chk->SetFocus();
    EXPECT_EQ(At(*chk, 13, 5), clBlue);
    EXPECT_EQ(At(*chk, 14, 5), kField);  // the form beyond the box
}

TEST_F(BtChkBoxTest, TheFocusFrameIsDottedRoundTheCaptionAndGoesAgain) {
    other->SetFocus();
    const TRect t = box->TextRect();
    const TColor first = At(*box, t.Left, t.Bottom - 1);
    const TColor second = At(*box, t.Left + 1, t.Bottom - 1);
    box->SetFocus();
    // Dots on every other pixel: of two neighbours on the frame, one is inverted.
    EXPECT_NE(At(*box, t.Left, t.Bottom - 1) == first,
              At(*box, t.Left + 1, t.Bottom - 1) == second);
    other->SetFocus();
    EXPECT_EQ(At(*box, t.Left, t.Bottom - 1), first);
    EXPECT_EQ(At(*box, t.Left + 1, t.Bottom - 1), second);
}

// The program's glyphs in every state, enabled with the focus and disabled, blown up for a
// look (TT_SNAPSHOT_DIR).
TEST_F(BtChkBoxTest, TheSkinGlyphsShowInEveryStateOnTheField) {
    auto* chk = Add("chkDisconnect", 150, 10, "");
    chk->SetBounds(150, 10, 14, 16);
    box->SetBounds(10, 60, 200, 17);
    other->Hide();
    Bitmap sheet(220, 6 * 20);
    int row = 0;
    for (TCheckBoxState state :
         {TCheckBoxState::cbUnchecked, TCheckBoxState::cbChecked, TCheckBoxState::cbGrayed}) {
        for (bool enabled : {true, false}) {
            box->SetState(state);
            chk->SetState(state);
            box->SetEnabled(enabled);
            if (enabled) box->SetFocus();
            for (int x = 0; x < 14; ++x) {
                for (int y = 0; y < 16; ++y) EXPECT_NE(At(*chk, x, y), kOlive);
            }
            sheet.GetCanvas().BitBlt(0, row * 20, 220, 20, form.Buffer(), 0, 58,
                                     TRasterOp::SrcCopy);
            sheet.GetCanvas().BitBlt(180, row++ * 20, 20, 20, form.Buffer(), 147, 8,
                                     TRasterOp::SrcCopy);
        }
    }
    if (const char* dir = std::getenv("TT_SNAPSHOT_DIR")) {
        WritePng(sheet, std::string(dir) + "/checkbox.png", 4);
    }
}

}  // namespace
}  // namespace tt
