#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <type_traits>

#include "base/error.h"
#include "testing/toolkit_test_util.h"

namespace tt::testing {
namespace {

// The toolkit's own calls between forms, controls, timers and the application are closed to
// everybody else: nobody else can cut their badges, nor keep one that was handed over.
static_assert(!std::is_default_constructible_v<Badge<TControl>>);
static_assert(!std::is_default_constructible_v<Badge<TForm>>);
static_assert(!std::is_default_constructible_v<Badge<Application>>);
static_assert(!std::is_default_constructible_v<Badge<TTimer>>);
static_assert(!std::is_copy_constructible_v<Badge<TControl>>);

class SampleForm : public ToolkitTest {
  protected:
    TSampleForm& form = app->CreateForm<TSampleForm>();
    void SetUp() override {
        form.Show();
        app->ProcessMessages();
        form.log.clear();
    }
    TColor At(int x, int y) { return driver.Snapshot("frmSample").GetPixel(x, y); }
};

TEST_F(SampleForm, LaysOutAndPaintsThroughOneBufferWithFixedPixels) {
    const auto* window = backend.WindowInfo(form.WindowId());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->bounds, (ui::Rect{600, 500, 800, 630}));
    EXPECT_TRUE(window->style.topmost);
    EXPECT_EQ(form.lblName->Width(), MeasureText(form.Font(), "Nazwa:").Width);
    EXPECT_EQ(form.lblName->Height(), MeasureText(form.Font(), "").Height);

    const TColor navy = ColorRGB(0, 0, 64);
    EXPECT_EQ(At(2, 2), navy);  // form background
    // The paint box is at (134, 56) and paints with its own origin.
    EXPECT_EQ(At(134, 56), clRed);
    EXPECT_EQ(At(134 + 19, 56 + 9), clRed);
    EXPECT_EQ(At(134 + 20, 56 + 9), navy);      // the fill leaves out the right column
    EXPECT_EQ(At(134 + 19, 56 + 10), navy);     // and the bottom row
    EXPECT_EQ(At(134 + 24, 56), clLime);        // copy
    EXPECT_EQ(At(134 + 5, 56 + 15), clYellow);  // blue XOR white
    EXPECT_EQ(At(134 + 2, 56 + 26), clRed);     // stretch, each quarter from its source pixel
    EXPECT_EQ(At(134 + 15, 56 + 26), clLime);
    EXPECT_EQ(At(134 + 2, 56 + 40), clBlue);
    EXPECT_EQ(At(134 + 15, 56 + 40), clWhite);
    EXPECT_EQ(At(134 + 30, 56 + 24), navy);  // key colour lets the form through
    EXPECT_EQ(At(134 + 31, 56 + 25), clAqua);
}

// A clock's label keeps its size from one second to the next: only its glyphs from the first
// that changed are painted and presented, and the screen is what a whole repaint shows.
TEST_F(SampleForm, ALabelOfTheSameSizeRepaintsFromItsFirstChangedGlyph) {
    TLabel& clock = *form.lblName;
    const int x = clock.Left(), y = clock.Top();
    const struct {
        const char* caption;
        int from;  // the first column presented, in the label
    } steps[] = {
        {"00:00:21", 0},  // a new size: the whole label
        {"00:00:29", MeasureText(clock.Font(), "00:00:2").Width - 1},
        {"00:01:00", MeasureText(clock.Font(), "00:0").Width - 1},
        {"10:01:00", 0},  // the first glyph
        {"9:01:00", 0},   // narrower: the whole, as it was
    };
    for (const auto& s : steps) {
        const int oldWidth = clock.Width();
        clock.SetCaption(s.caption);
        app->ProcessMessages();
        const ui::Rect shown = backend.WindowInfo(form.WindowId())->lastPresent;
        EXPECT_EQ(shown.left, x + s.from) << s.caption;
        EXPECT_EQ(shown.right, x + std::max(oldWidth, clock.Width())) << s.caption;
        EXPECT_EQ(shown.top, y) << s.caption;
        const Bitmap partly = driver.Snapshot("frmSample");
        form.Invalidate();
        app->ProcessMessages();
        const Bitmap whole = driver.Snapshot("frmSample");
        ASSERT_TRUE(std::equal(partly.Bits(), partly.Bits() + partly.Width() * partly.Height(),
                               whole.Bits()))
            << s.caption;
    }
}

TEST_F(SampleForm, AHiddenFormKeepsNoPixelsAndShowsWholeAgain) {
    form.Hide();
    EXPECT_EQ(form.Buffer().Width() * form.Buffer().Height(), 0);
    form.SetBounds(form.Left(), form.Top(), 180, 120);  // a hidden resize allocates nothing
    EXPECT_EQ(form.Buffer().Width() * form.Buffer().Height(), 0);
    form.Show();
    app->ProcessMessages();
    EXPECT_EQ(form.Buffer().Width(), 180);
    EXPECT_EQ(At(2, 2), ColorRGB(0, 0, 64));
}

TEST_F(SampleForm, RepaintsOnlyWhatChangedAndNeverPastAControl) {
    const int presents = backend.WindowInfo(form.WindowId())->presents;
    const int paints = form.paintBoxPaints;
    app->ProcessMessages();  // nothing changed: nothing painted, nothing shown
    EXPECT_EQ(backend.WindowInfo(form.WindowId())->presents, presents);

    int formPaints = 0;
    form.SetEraseBackground(false);
    form.OnPaint = [&](TComponent*) { ++formPaints; };
    form.edtName->SetText("abc");  // opaque: nothing beneath it is painted
    app->ProcessMessages();
    EXPECT_EQ(formPaints, 0);
    EXPECT_EQ(form.paintBoxPaints, paints);
    EXPECT_EQ(backend.WindowInfo(form.WindowId())->presents, presents + 1);

    form.PaintBox1->Invalidate();  // see-through: the form paints beneath it
    app->ProcessMessages();
    EXPECT_EQ(formPaints, 1);
    EXPECT_EQ(form.paintBoxPaints, paints + 1);

    // A painter cannot draw outside its control.
    form.PaintBox1->OnPaint = [&](TComponent*) {
        form.PaintBox1->GetCanvas().Brush().Color = clWhite;
        form.PaintBox1->GetCanvas().FillRect({-50, -50, 500, 500});
    };
    form.PaintBox1->Repaint();
    EXPECT_EQ(At(134, 56), clWhite);
    EXPECT_EQ(At(133, 56), ColorRGB(0, 0, 64));
    EXPECT_EQ(At(134, 55), ColorRGB(0, 0, 64));

    // A repaint asked for while painting comes afterwards, not inside.
    int rounds = 0;
    form.PaintBox1->OnPaint = [&](TComponent*) {
        if (++rounds == 1) form.PaintBox1->Repaint();
    };
    form.PaintBox1->Repaint();
    EXPECT_EQ(rounds, 1);
    app->ProcessMessages();
    EXPECT_EQ(rounds, 2);
}

TEST_F(SampleForm, ClickIsPressClickReleaseAndCaptureKeepsEventsWithThePressedControl) {
    driver.Click("frmSample.PaintBox1", 3, 4);
    EXPECT_EQ(form.log, (std::vector<std::string>{"down PaintBox1 3,4", "click PaintBox1",
                                                  "up PaintBox1 3,4"}));
    form.log.clear();
    // Pressed on the paint box, moved over the list and released there: still the paint
    // box's, in its coordinates, and not a click.
    driver.Press("frmSample.PaintBox1", 5, 5);
    form.PaintBox1->OnMouseMove = [&](TComponent*, TShiftState shift, int x, int y) {
        form.log.push_back("move " + std::to_string(x) + "," + std::to_string(y) +
                           ((shift & ssLeft) ? " left" : ""));
    };
    driver.Move("frmSample.ListBox1", 10, 10);
    driver.Release("frmSample.ListBox1", 10, 10);
    EXPECT_EQ(form.log, (std::vector<std::string>{"down PaintBox1 5,5", "move -116,10 left",
                                                  "up PaintBox1 -116,10"}));
    EXPECT_EQ(backend.CaptureWindow(), 0);
    EXPECT_EQ(form.ListBox1->ItemIndex(), -1);
}

TEST_F(SampleForm, APressReleasedElsewhereLeavesNoClickBehindWithoutCapture) {
    // Check boxes do not capture the mouse: a press on one released over another must not
    // leave a click that a later release over the first would fire.
    for (TControl* c :
         {static_cast<TControl*>(form.PaintBox1), static_cast<TControl*>(form.ListBox1)}) {
        c->SetControlStyle(c->ControlStyle() & ~csCaptureMouse);
    }
    driver.Press("frmSample.PaintBox1", 5, 5);
    driver.Release("frmSample.ListBox1", 10, 10);
    backend.Advance(1000);
    driver.Press("frmSample.ListBox1", 10, 10);
    driver.Release("frmSample.PaintBox1", 5, 5);
    EXPECT_EQ(std::count(form.log.begin(), form.log.end(), "click PaintBox1"), 0);
}

TEST_F(SampleForm, DoubleClickIsOneClickAndOneDblClick) {
    driver.DblClick("frmSample.PaintBox1", 3, 3);
    EXPECT_EQ(form.log, (std::vector<std::string>{"down PaintBox1 3,3", "click PaintBox1",
                                                  "up PaintBox1 3,3", "dblclick PaintBox1",
                                                  "down PaintBox1 3,3", "up PaintBox1 3,3"}));
    // Without double clicks the second press is a second click.
    form.log.clear();
    form.PaintBox1->SetControlStyle(form.PaintBox1->ControlStyle() & ~csDoubleClicks);
    backend.Advance(1000);
    driver.DblClick("frmSample.PaintBox1", 3, 3);
    EXPECT_EQ(std::count(form.log.begin(), form.log.end(), "click PaintBox1"), 2);
}

TEST_F(SampleForm, FocusFollowsTabOrderAndClicks) {
    ASSERT_TRUE(form.Active());
    EXPECT_EQ(form.ActiveControl(), form.edtName);  // the first tab stop on showing
    driver.Key("Tab");
    EXPECT_EQ(form.ActiveControl(), form.cmbEntry);
    driver.Key("Tab");
    EXPECT_EQ(form.ActiveControl(), form.ListBox1);
    driver.Key("Tab");
    EXPECT_EQ(form.ActiveControl(), form.edtName);  // round again
    driver.Key("Shift+Tab");
    EXPECT_EQ(form.ActiveControl(), form.ListBox1);
    EXPECT_EQ(form.log, (std::vector<std::string>{
                            "exit edtName", "enter cmbEntry", "exit cmbEntry", "enter ListBox1",
                            "exit ListBox1", "enter edtName", "exit edtName", "enter ListBox1"}));
    driver.Click("frmSample.edtName", 2, 2);
    EXPECT_EQ(form.ActiveControl(), form.edtName);
    EXPECT_TRUE(form.edtName->Focused());
    form.cmbEntry->SetTabOrder(0);
    driver.Key("Shift+Tab");
    EXPECT_EQ(form.ActiveControl(), form.cmbEntry);
}

TEST_F(SampleForm, EditTakesTypingKeysSelectionAndClipboard) {
    TEdit& edit = *form.edtName;
    std::vector<int> keys;
    edit.OnKeyDown = [&](TComponent*, int& key, TShiftState) {
        keys.push_back(key);
        if (key == ui::kKeyDelete) key = 0;  // a handler can swallow a key
    };
    driver.Type("Zażółć");
    EXPECT_EQ(edit.Text(), "Zażółć");
    EXPECT_EQ(edit.SelStart(), 6);
    driver.Key("Home");
    driver.Key("Delete");  // swallowed
    EXPECT_EQ(edit.Text(), "Zażółć");
    driver.Key("Right");
    driver.Key("Back");
    EXPECT_EQ(edit.Text(), "ażółć");
    driver.Key("End");
    driver.Key("Shift+Left");
    driver.Key("Shift+Left");
    EXPECT_EQ(edit.SelText(), "łć");
    driver.Key("Ctrl+C");
    EXPECT_EQ(backend.ClipboardText(), "łć");
    driver.Type("x");
    EXPECT_EQ(edit.Text(), "ażóx");
    backend.SetClipboardText("1234567890\r\nnext line");
    driver.Key("Ctrl+V");
    EXPECT_EQ(edit.Text(), "ażóx12345678");  // stops at the maximum length of 12
    EXPECT_EQ(keys, (std::vector<int>{ui::kKeyHome, ui::kKeyDelete, ui::kKeyRight, ui::kKeyBack,
                                      ui::kKeyEnd, ui::kKeyLeft, ui::kKeyLeft, 'C', 'V'}));
    edit.SetReadOnly(true);
    driver.Key("Back");
    driver.Type("z");
    EXPECT_EQ(edit.Text(), "ażóx12345678");
    EXPECT_EQ(edit.GetProperty("Text"), "ażóx12345678");

    // The pointer places the caret at the nearest gap and drags a selection.
    const TFont font = edit.Font();
    const int gap2 = 3 + MeasureText(font, "aż").Width;
    const int gap4 = 3 + MeasureText(font, "ażóx").Width;
    driver.Press("frmSample.edtName", gap2 + 1, 5);
    EXPECT_EQ(edit.SelStart(), 2);
    driver.Move("frmSample.edtName", gap4 - 1, 5, ssLeft);
    driver.Release("frmSample.edtName", gap4 - 1, 5);
    EXPECT_EQ(edit.SelText(), "óx");
}

TEST_F(SampleForm, DropDownListChoosesByMouseAndKeys) {
    int changes = 0;
    form.cmbEntry->OnChange = [&](TComponent*) { ++changes; };
    driver.Select("frmSample.cmbEntry", "Inny dostawca");
    EXPECT_EQ(form.cmbEntry->ItemIndex(), 2);
    EXPECT_EQ(form.cmbEntry->GetProperty("Text"), "Inny dostawca");
    EXPECT_EQ(form.cmbEntry->GetProperty("Items"), "Połączenie 1|TPSA|Inny dostawca");
    EXPECT_FALSE(form.cmbEntry->DroppedDown());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(form.ActiveControl(), form.cmbEntry);

    driver.Key("Up");
    EXPECT_EQ(form.cmbEntry->Text(), "TPSA");
    driver.Key("F4");
    ASSERT_TRUE(form.cmbEntry->DroppedDown());
    const auto* list = backend.WindowInfo(form.cmbEntry->DropDownWindowId());
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->visible);
    EXPECT_EQ(list->bounds.top, 500 + 30 + 20);  // right under the field
    driver.Key("Esc");
    EXPECT_FALSE(form.cmbEntry->DroppedDown());
    EXPECT_FALSE(backend.WindowInfo(form.cmbEntry->DropDownWindowId())->visible);
    // A press outside the open list only closes it.
    driver.Click("frmSample.cmbEntry", 3, 3);
    driver.Click("frmSample", 2, 2);
    EXPECT_FALSE(form.cmbEntry->DroppedDown());
    EXPECT_EQ(form.cmbEntry->ItemIndex(), 1);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(form.log.empty() || form.log.back() != "click PaintBox1");
}

TEST_F(SampleForm, LongDropDownListShowsAScrollBarAndScrollsByItAndTheWheel) {
    TComboBox& combo = *form.cmbEntry;
    std::vector<std::string> entries;
    for (int i = 0; i < 20; ++i) entries.push_back("Dostawca " + std::to_string(i + 1));
    combo.SetItems(entries);
    combo.SetItemIndex(0);
    const std::string path = "frmSample.cmbEntry";
    driver.Click(path, 3, 3);
    ASSERT_TRUE(combo.DroppedDown());
    EXPECT_TRUE(combo.ListScrolls());
    EXPECT_EQ(combo.ListTop(), 0);
    EXPECT_TRUE(combo.ListItemShown(7));
    EXPECT_FALSE(combo.ListItemShown(8));  // eight rows show

    // The bar is drawn in the list's own colours at its right edge, beside the rows.
    const Bitmap& list = combo.DropDownBuffer();
    const TColor ink = combo.Font().Color;
    const int barLeft = combo.Width() - 1 - 12;
    EXPECT_EQ(list.GetPixel(barLeft, list.Height() / 2), ink);  // its frame
    EXPECT_EQ(list.GetPixel(barLeft + 1, list.Height() - 4), combo.Color());
    EXPECT_LE(combo.ListItemRect(0).Right, barLeft);
    // The thumb, filled, at the top of the track while the list shows its first rows.
    EXPECT_EQ(list.GetPixel(barLeft + 6, 1 + 12 + 3), ink);

    // One notch towards the user shows three rows further; the list stays open.
    driver.Wheel(path, 20, combo.Height() + 20, -120);
    EXPECT_EQ(combo.ListTop(), 3);
    EXPECT_TRUE(combo.DroppedDown());
    EXPECT_EQ(combo.GetProperty("ListTop"), "3");
    EXPECT_NE(list.GetPixel(barLeft + 6, 1 + 12 + 3), ink);  // the thumb went down
    // A fine wheel adds up its small turns.
    driver.Wheel(path, 20, combo.Height() + 20, -20);
    EXPECT_EQ(combo.ListTop(), 3);
    driver.Wheel(path, 20, combo.Height() + 20, -20);
    EXPECT_EQ(combo.ListTop(), 4);
    // Never past the last page.
    driver.Wheel(path, 20, combo.Height() + 20, -120 * 10);
    EXPECT_EQ(combo.ListTop(), 12);
    // The up arrow of the bar: one row, still open, nothing chosen.
    driver.Click(path, barLeft + 5, combo.Height() + 4);
    EXPECT_EQ(combo.ListTop(), 11);
    EXPECT_TRUE(combo.DroppedDown());
    EXPECT_EQ(combo.ItemIndex(), 0);
    // A row below the first page is chosen where it now shows.
    const TRect r = combo.ListItemRect(15);
    driver.Click(path, r.Left + 2, (r.Top + r.Bottom) / 2);
    EXPECT_FALSE(combo.DroppedDown());
    EXPECT_EQ(combo.Text(), "Dostawca 16");

    // Closed and focused, the wheel steps through the entries.
    driver.Wheel(path, 20, 5, 120);
    EXPECT_EQ(combo.Text(), "Dostawca 15");

    // The report's kind of list scrolls under the wheel too, its selection kept.
    TListBox& rows = *form.ListBox1;
    rows.SetItems(entries);
    rows.SetItemIndex(1);
    driver.Wheel("frmSample.ListBox1", 10, 10, -120);
    EXPECT_EQ(rows.TopIndex(), 3);
    EXPECT_EQ(rows.ItemIndex(), 1);
    driver.Wheel("frmSample.ListBox1", 10, 10, 240);
    EXPECT_EQ(rows.TopIndex(), 0);
}

TEST_F(SampleForm, OwnerDrawnListDrawsRowsScrollsAndSelects) {
    TListBox& list = *form.ListBox1;
    std::vector<std::pair<int, TRect>> drawn;
    auto draw = list.OnDrawItem;
    std::vector<TOwnerDrawState> states;
    list.OnDrawItem = [&](TWinControl* c, int i, TRect r, TOwnerDrawState s) {
        drawn.emplace_back(i, r);
        states.push_back(s);
        draw(c, i, r, s);
    };
    list.SetFocus();
    list.SetItemIndex(1);
    list.Repaint();
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[1].second, (TRect{0, 16, 120, 32}));
    EXPECT_EQ(states, (std::vector<TOwnerDrawState>{0, odSelected | odFocused, 0}));
    EXPECT_FALSE(list.ScrollBarShown());

    std::vector<std::string> many;
    for (int i = 0; i < 20; ++i) many.push_back("wiersz " + std::to_string(i));
    list.SetItems(many);
    EXPECT_EQ(list.VisibleRows(), 4);  // 66 pixels of 16-pixel rows
    EXPECT_TRUE(list.ScrollBarShown());
    drawn.clear();
    list.Repaint();
    ASSERT_EQ(drawn.size(), 5u);  // four whole rows and the cut one
    EXPECT_EQ(drawn[0].second.Right, 120 - 16);

    int clicks = 0;
    list.OnClick = [&](TComponent*) { ++clicks; };
    driver.Click("frmSample.ListBox1", 10, 36);
    EXPECT_EQ(list.ItemIndex(), 2);
    EXPECT_EQ(clicks, 1);
    driver.Key("End");
    EXPECT_EQ(list.ItemIndex(), 19);
    EXPECT_EQ(list.TopIndex(), 16);
    driver.Click("frmSample.ListBox1", 110, 2);  // the scroll bar's up arrow
    EXPECT_EQ(list.TopIndex(), 15);
    EXPECT_EQ(list.ItemIndex(), 19);
    driver.Select("frmSample.ListBox1", "wiersz 3");
    EXPECT_EQ(list.ItemIndex(), 3);
    EXPECT_EQ(list.GetProperty("ItemIndex"), "3");
}

TEST_F(SampleForm, SnapshotAtFourTimesZoomForTheEye) {
    form.ListBox1->SetItemIndex(1);
    form.edtName->SetText("Zażółć");
    form.ListBox1->SetFocus();
    app->ProcessMessages();
    const Bitmap shot = driver.Snapshot("frmSample");
    EXPECT_EQ(shot.Width(), 200);
    EXPECT_EQ(shot.Height(), 130);
    // Set TT_SNAPSHOT_DIR to keep the picture for a look.
    if (const char* dir = std::getenv("TT_SNAPSHOT_DIR")) {
        driver.SavePng("frmSample", (std::filesystem::path(dir) / "sample_form.png").string(), 4);
    }
}

}  // namespace
}  // namespace tt::testing
