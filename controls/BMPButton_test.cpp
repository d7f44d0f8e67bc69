#include "controls/BMPButton.h"

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "controls/skin/skin.h"
#include "testing/toolkit_test_util.h"
#include "toolkit/gfx/png.h"

namespace tt {
namespace {

// Every cell a flat colour of its own, so a pixel tells which cell was drawn there.
TColor CellColor(int cell) {
    return ColorRGB(20 + 10 * cell, 250 - 10 * cell, 100);
}

Bitmap TestStrip(int cells, int cw, int ch) {
    Bitmap strip(cells * cw, ch);
    for (int i = 0; i < cells; ++i) {
        strip.GetCanvas().Brush().Color = CellColor(i);
        strip.GetCanvas().FillRect(Bounds(i * cw, 0, cw, ch));
    }
    return strip;
}

int CellAt(const Bitmap& b, TPoint p) {
    for (int i = 0; i < 20; ++i) {
        if (b.GetPixel(p.X, p.Y) == CellColor(i)) return i;
    }
    return -1;
}

std::vector<Pixel> Pixels(const Bitmap& b) {
    return {b.Bits(), b.Bits() + b.Width() * b.Height()};
}

using Ints = std::vector<int>;
using Log = std::vector<std::string>;

class BMPButtonTest : public testing::ToolkitTest {
  protected:
    TForm& form = app->CreateForm<TForm>();
    ImageList cells{25, 20};
    TBMPButton* bar = new TBMPButton(&form);
    Log log;

    void SetUp() override {
        form.SetName("frmTest");
        form.SetBorderStyle(TFormBorderStyle::bsNone);
        form.SetBounds(100, 100, 200, 160);
        bar->SetName("Klawisze");
        bar->SetParent(&form);
        // Stored 1 pixel wide, as the main window's bars are; the first paint sizes it.
        bar->SetBounds(8, 43, 1, 20);
        cells.Add(TestStrip(15, 25, 20));
        bar->SetButtons(&cells);
        bar->OnClick = [this](TComponent*) { Note("click"); };
        bar->OnDblClick = [this](TComponent*) { Note("dblclick"); };
        bar->OnMouseDown = [this](TComponent*, TMouseButton, TShiftState, int, int) {
            Note("down");
        };
        bar->OnMouseUp = [this](TComponent*, TMouseButton, TShiftState, int, int) { Note("up"); };
        form.Show();
        app->ProcessMessages();
    }

    void Note(const char* what) {
        log.push_back(what + (" " + std::to_string(bar->CommandIndex())));
    }

    // The cell each button shows on screen.
    Ints Faces() {
        app->ProcessMessages();
        Ints faces;
        const bool hor = bar->Orientation() == TLayOut::loHor;
        for (int i = 0; i < bar->ButtonCount(); ++i) {
            faces.push_back(
                CellAt(form.Buffer(),
                       bar->ClientToForm(hor ? TPoint{i * 25 + 12, 10} : TPoint{12, i * 20 + 10})));
        }
        return faces;
    }
};

TEST_F(BMPButtonTest, SizeAndCommandIndexComeFromTheCellsByTruncation) {
    EXPECT_EQ(bar->GetProperty("Width"), "125");
    EXPECT_EQ(bar->Height(), 20);
    for (auto [x, index] : {std::pair{49, 1}, {50, 2}, {0, 0}}) {
        driver.Click("frmTest.Klawisze", x, 5);
        EXPECT_EQ(bar->GetProperty("CommandIndex"), std::to_string(index)) << x;
    }
    bar->SetOrientation(TLayOut::loVer);
    EXPECT_EQ(bar->Width(), 25);
    EXPECT_EQ(bar->Height(), 100);
    driver.Press("frmTest.Klawisze", 3, 99);
    EXPECT_EQ(bar->CommandIndex(), 4);
    EXPECT_EQ(Faces(), (Ints{0, 3, 6, 9, 14}));
}

TEST_F(BMPButtonTest, OnlyTheCommandButtonShowsTheHoverStateAndBothRoutesDrawAlike) {
    EXPECT_EQ(Faces(), (Ints{0, 3, 6, 9, 12}));
    driver.Move("frmTest.Klawisze", 60, 10);
    EXPECT_EQ(Faces(), (Ints{0, 3, 7, 9, 12}));
    const std::vector<Pixel> direct = Pixels(bar->StripBitmap());
    bar->SetAltDrawing(true);
    bar->Repaint();
    EXPECT_EQ(Pixels(bar->StripBitmap()), direct);
    driver.Press("frmTest.Klawisze", 60, 10);
    EXPECT_EQ(Faces(), (Ints{0, 3, 8, 9, 12}));
    driver.Release("frmTest.Klawisze", 60, 10);
    EXPECT_EQ(Faces(), (Ints{0, 3, 7, 9, 12}));
    driver.Move("frmTest", 150, 100);  // off the bar
    EXPECT_EQ(bar->HoverState(), 0);
    EXPECT_EQ(Faces(), (Ints{0, 3, 6, 9, 12}));
    EXPECT_EQ(bar->CommandIndex(), 2);  // kept, never reset
}

TEST_F(BMPButtonTest, TheClickSeesTheButtonOfTheLastPressOrMove) {
    driver.Press("frmTest.Klawisze", 30, 10);
    driver.Move("frmTest.Klawisze", 80, 10);
    EXPECT_EQ(Faces(), (Ints{0, 3, 6, 11, 12}));  // dragging with the button held shows it pressed
    driver.Release("frmTest.Klawisze", 80, 10);
    EXPECT_EQ(log, (Log{"down 1", "click 3", "up 3"}));

    log.clear();
    backend.Advance(1000);
    driver.DblClick("frmTest.Klawisze", 110, 10);
    EXPECT_EQ(log, (Log{"down 4", "click 4", "up 4", "dblclick 4", "down 4", "up 4"}));

    // A click that hides the window leaves no lit button for its return.
    bar->OnClick = [this](TComponent*) { form.Hide(); };
    backend.Advance(1000);
    driver.Click("frmTest.Klawisze", 60, 10);
    form.Show();
    EXPECT_EQ(Faces(), (Ints{0, 3, 6, 9, 12}));
}

TEST_F(BMPButtonTest, ADragOffTheBarLightsTheNearestOrNoButtonAndDoesNotClick) {
    driver.Press("frmTest.Klawisze", 80, 10);
    driver.Move("frmTest.Klawisze", -5, 10);  // the bar keeps the mouse
    EXPECT_EQ(Faces(), (Ints{2, 3, 6, 9, 12}));
    driver.Move("frmTest.Klawisze", 190, 10);
    EXPECT_EQ(bar->CommandIndex(), 7);  // no upper limit: beyond the last, none lights
    EXPECT_EQ(Faces(), (Ints{0, 3, 6, 9, 12}));
    driver.Move("frmTest.Klawisze", -5, 10);
    driver.Release("frmTest.Klawisze", -5, 10);
    EXPECT_EQ(log, (Log{"down 3", "up 0"}));
    EXPECT_EQ(bar->HoverState(), 0);
}

TEST_F(BMPButtonTest, TheHintFollowsTheButtonUnderThePointer) {
    form.SetShowHint(true);
    bar->SetHints({"Opcje", "Raport połączeń"});
    driver.Move("frmTest.Klawisze", 5, 5);
    backend.Advance(Application::kHintPause);
    EXPECT_EQ(app->HintText(), "Opcje");

    driver.Move("frmTest.Klawisze", 30, 5);
    EXPECT_EQ(bar->Hint(), "Raport połączeń");
    EXPECT_FALSE(app->HintShowing());  // the old text is gone at once
    backend.Advance(Application::kHintPause - 1);
    EXPECT_FALSE(app->HintShowing());
    backend.Advance(1);
    EXPECT_EQ(app->HintText(), "Raport połączeń");

    driver.Move("frmTest.Klawisze", 60, 5);  // no line: the last hint stays, on screen
    EXPECT_TRUE(app->HintShowing());
}

TEST_F(BMPButtonTest, WithoutWholeButtonsTheBarIsBlankAndWaitsForCells) {
    auto* blank = new TBMPButton(&form);
    blank->SetName("Pusty");
    blank->SetParent(&form);
    EXPECT_EQ(blank->Width(), 100);
    blank->SetBounds(8, 100, 100, 20);
    blank->SetCommandIndex(3);
    int clicks = 0;
    blank->OnClick = [&](TComponent*) { ++clicks; };
    driver.Click("frmTest.Pusty", 60, 5);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(blank->CommandIndex(), 3);
    app->ProcessMessages();
    EXPECT_EQ(form.Buffer().GetPixel(8 + 99, 119), clWhite);

    // A list assigned with fewer than three cells sizes the bar to no button at its first
    // paint; setting the orientation again after the cells came gives the true size.
    ImageList later(20, 12);
    later.Add(TestStrip(2, 20, 12));
    blank->SetButtons(&later);
    blank->SetBounds(10, 110, 1, 12);
    app->ProcessMessages();
    EXPECT_EQ(blank->Width(), 0);
    EXPECT_EQ(blank->Height(), 12);
    blank->SetOrientation(TLayOut::loVer);
    EXPECT_EQ(blank->Width(), 20);
    EXPECT_EQ(blank->Height(), 0);
    later.Clear();
    later.Add(TestStrip(10, 20, 12));  // now three buttons and a stray cell
    blank->SetOrientation(TLayOut::loHor);
    form.Invalidate();
    app->ProcessMessages();
    EXPECT_EQ(blank->Width(), 60);
    EXPECT_EQ(CellAt(form.Buffer(), {10 + 45, 115}), 6);
    EXPECT_EQ(form.Buffer().GetPixel(10 + 60, 115), form.Buffer().GetPixel(10 + 80, 115));
}

// The program's bars: every face of every button differs from every other, and a sheet of
// them blown up for a look (TT_SNAPSHOT_DIR).
TEST(BMPButtonSkin, EveryButtonHasThreeDistinctFaces) {
    headless::HeadlessBackend backend;
    Application app(backend);
    for (SkinPicture picture :
         {SkinPicture::Image2, SkinPicture::Image4, SkinPicture::Image3, SkinPicture::Image5}) {
        const SkinPictureInfo& info = SkinInfo(picture);
        ImageList list(info.CellWidth, info.CellHeight);
        list.Add(LoadSkinPicture(picture));
        TBMPButton skinBar(nullptr);
        skinBar.SetButtons(&list);
        const int rows = 2 * skinBar.ButtonCount() + 1;  // idle, each lit, each pressed
        Bitmap sheet(skinBar.ButtonCount() * info.CellWidth, rows * info.CellHeight);
        std::set<std::vector<Pixel>> strips;
        for (int row = 0; row < rows; ++row) {
            skinBar.MouseLeave();
            const int i = (row - 1) % skinBar.ButtonCount();
            if (row > 0) skinBar.MouseMove(row > rows / 2 ? ssLeft : 0, i * info.CellWidth, 1);
            strips.insert(Pixels(skinBar.StripBitmap()));
            sheet.GetCanvas().Draw(0, row * info.CellHeight, skinBar.StripBitmap());
        }
        EXPECT_EQ(static_cast<int>(strips.size()), rows) << info.Name;
        if (const char* dir = std::getenv("TT_SNAPSHOT_DIR")) {
            WritePng(sheet, std::string(dir) + "/bar_" + std::string(info.Name) + ".png", 4);
        }
    }
}

}  // namespace
}  // namespace tt
