#include "controls/BMPButton.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "controls/skin/skin.h"
#include "toolkit/gfx/png.h"
#include "toolkit/toolkit_test_util.h"

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

int CellAt(const Bitmap& b, int x, int y) {
    for (int i = 0; i < 20; ++i) {
        if (b.GetPixel(x, y) == CellColor(i)) return i;
    }
    return -1;
}

void SaveSnapshot(const Bitmap& b, const std::string& name) {
    if (const char* dir = std::getenv("TT_SNAPSHOT_DIR"))
        WritePng(b, std::string(dir) + "/" + name, 4);
}

class BMPButtonTest : public testing::ToolkitTest {
  protected:
    TForm& form = app->CreateForm<TForm>();
    ImageList cells{25, 20};
    TBMPButton* bar = nullptr;
    std::vector<std::string> log;

    void SetUp() override {
        form.SetName("frmTest");
        form.SetBorderStyle(TFormBorderStyle::bsNone);
        form.SetBounds(100, 100, 200, 160);
        bar = new TBMPButton(&form);
        bar->SetName("Klawisze");
        bar->SetParent(&form);
        // Stored 1 pixel wide, as the main window's bars are; the first paint sizes it.
        bar->SetBounds(8, 43, 1, 20);
        cells.Add(TestStrip(15, 25, 20));
        bar->SetButtons(&cells);
        bar->OnClick = [this](TComponent*) {
            log.push_back("click " + std::to_string(bar->CommandIndex()));
        };
        bar->OnDblClick = [this](TComponent*) { log.push_back("dblclick"); };
        bar->OnMouseDown = [this](TComponent*, TMouseButton, TShiftState, int, int) {
            log.push_back("down " + std::to_string(bar->CommandIndex()));
        };
        bar->OnMouseUp = [this](TComponent*, TMouseButton, TShiftState, int, int) {
            log.push_back("up " + std::to_string(bar->CommandIndex()));
        };
        form.Show();
        app->ProcessMessages();
    }

    // The cell each button shows on screen, read from the form's picture.
    std::vector<int> Faces() {
        app->ProcessMessages();
        std::vector<int> faces;
        for (int i = 0; i < bar->ButtonCount(); ++i) {
            const bool hor = bar->Orientation() == TLayOut::loHor;
            const TPoint p =
                bar->ClientToForm(hor ? TPoint{i * 25 + 12, 10} : TPoint{12, i * 20 + 10});
            faces.push_back(CellAt(form.Buffer(), p.X, p.Y));
        }
        return faces;
    }
};

TEST_F(BMPButtonTest, TakesItsSizeFromTheCellsAndFindsTheButtonByTruncation) {
    EXPECT_EQ(bar->Width(), 125);
    EXPECT_EQ(bar->Height(), 20);
    EXPECT_EQ(bar->GetProperty("Width"), "125");

    driver.Press("frmTest.Klawisze", 49, 5);
    EXPECT_EQ(bar->CommandIndex(), 1);
    driver.Release("frmTest.Klawisze", 49, 5);
    driver.Press("frmTest.Klawisze", 50, 5);
    EXPECT_EQ(bar->GetProperty("CommandIndex"), "2");
    driver.Release("frmTest.Klawisze", 50, 5);

    bar->SetOrientation(TLayOut::loVer);
    EXPECT_EQ(bar->Width(), 25);
    EXPECT_EQ(bar->Height(), 100);
    driver.Press("frmTest.Klawisze", 3, 99);
    EXPECT_EQ(bar->CommandIndex(), 4);
    EXPECT_EQ(Faces(), (std::vector<int>{0, 3, 6, 9, 14}));
    driver.Release("frmTest.Klawisze", 3, 99);
}

TEST_F(BMPButtonTest, ShowsTheCellOfTheHoverStateOnTheCommandButtonOnly) {
    EXPECT_EQ(Faces(), (std::vector<int>{0, 3, 6, 9, 12}));
    driver.Move("frmTest.Klawisze", 60, 10);
    EXPECT_EQ(bar->HoverState(), 1);
    EXPECT_EQ(Faces(), (std::vector<int>{0, 3, 7, 9, 12}));
    driver.Press("frmTest.Klawisze", 60, 10);
    EXPECT_EQ(Faces(), (std::vector<int>{0, 3, 8, 9, 12}));
    driver.Release("frmTest.Klawisze", 60, 10);
    EXPECT_EQ(Faces(), (std::vector<int>{0, 3, 7, 9, 12}));
    driver.Move("frmTest", 150, 100);  // off the bar
    EXPECT_EQ(bar->HoverState(), 0);
    EXPECT_EQ(Faces(), (std::vector<int>{0, 3, 6, 9, 12}));
    EXPECT_EQ(bar->CommandIndex(), 2);  // kept, never reset
}

TEST_F(BMPButtonTest, BothDrawingRoutesGiveTheSamePicture) {
    driver.Move("frmTest.Klawisze", 35, 10);
    const Bitmap direct = bar->StripBitmap();
    bar->SetAltDrawing(true);
    bar->Repaint();
    const Bitmap scratch = bar->StripBitmap();
    ASSERT_EQ(direct.Width(), scratch.Width());
    for (int x = 0; x < direct.Width(); ++x) {
        for (int y = 0; y < direct.Height(); ++y)
            ASSERT_EQ(direct.GetPixel(x, y), scratch.GetPixel(x, y));
    }
    EXPECT_EQ(CellAt(scratch, 37, 5), 4);
}

TEST_F(BMPButtonTest, TheClickSeesTheButtonOfTheLastPressOrMove) {
    driver.Press("frmTest.Klawisze", 30, 10);
    driver.Move("frmTest.Klawisze", 80, 10);
    EXPECT_EQ(bar->HoverState(), 2);  // dragging with the button held shows it pressed
    EXPECT_EQ(Faces(), (std::vector<int>{0, 3, 6, 11, 12}));
    driver.Release("frmTest.Klawisze", 80, 10);
    EXPECT_EQ(log, (std::vector<std::string>{"down 1", "click 3", "up 3"}));
    EXPECT_EQ(bar->HoverState(), 1);
}

TEST_F(BMPButtonTest, ADragOffTheBarShowsTheNearestOrNoButtonAndDoesNotClick) {
    driver.Press("frmTest.Klawisze", 80, 10);
    driver.Move("frmTest.Klawisze", -5, 10);  // the bar keeps the mouse
    EXPECT_EQ(bar->CommandIndex(), 0);
    EXPECT_EQ(Faces(), (std::vector<int>{2, 3, 6, 9, 12}));
    driver.Move("frmTest.Klawisze", 190, 10);
    EXPECT_EQ(bar->CommandIndex(), 7);  // no upper limit: beyond the last, none lights
    EXPECT_EQ(Faces(), (std::vector<int>{0, 3, 6, 9, 12}));
    driver.Move("frmTest.Klawisze", -5, 10);
    driver.Release("frmTest.Klawisze", -5, 10);
    EXPECT_EQ(log, (std::vector<std::string>{"down 3", "up 0"}));
    EXPECT_EQ(bar->HoverState(), 0);
}

TEST_F(BMPButtonTest, ABarWhoseClickHidesTheWindowComesBackUnlit) {
    bar->OnClick = [this](TComponent*) { form.Hide(); };
    driver.Click("frmTest.Klawisze", 60, 10);
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(bar->HoverState(), 0);
    form.Show();
    EXPECT_EQ(Faces(), (std::vector<int>{0, 3, 6, 9, 12}));
}

TEST_F(BMPButtonTest, ADoubleClickIsOneClickAndOneDoubleClick) {
    driver.DblClick("frmTest.Klawisze", 110, 10);
    EXPECT_EQ(
        log, (std::vector<std::string>{"down 4", "click 4", "up 4", "dblclick", "down 4", "up 4"}));
}

TEST_F(BMPButtonTest, TheHintFollowsTheButtonUnderThePointer) {
    form.SetShowHint(true);
    bar->SetHints({"Opcje", "Raport połączeń"});
    driver.Move("frmTest.Klawisze", 5, 5);
    EXPECT_EQ(bar->Hint(), "Opcje");
    backend.Advance(Application::kHintPause);
    ASSERT_TRUE(app->HintShowing());
    EXPECT_EQ(app->HintText(), "Opcje");

    driver.Move("frmTest.Klawisze", 30, 5);
    EXPECT_EQ(bar->Hint(), "Raport połączeń");
    EXPECT_FALSE(app->HintShowing());  // the old text is gone at once
    backend.Advance(Application::kHintPause - 1);
    EXPECT_FALSE(app->HintShowing());
    backend.Advance(1);
    EXPECT_EQ(app->HintText(), "Raport połączeń");

    // Buttons without a line keep the last hint, and it stays on screen.
    driver.Move("frmTest.Klawisze", 60, 5);
    EXPECT_EQ(bar->Hint(), "Raport połączeń");
    EXPECT_TRUE(app->HintShowing());
}

TEST_F(BMPButtonTest, HintsStayPutWhileHintsAreOff) {
    bar->SetHints({"Opcje", "Raport połączeń"});
    bar->SetShowHint(false);
    driver.Move("frmTest.Klawisze", 30, 5);
    EXPECT_EQ(bar->Hint(), "");
}

TEST_F(BMPButtonTest, WithoutCellsTheBarIsABlankStripThatStillClicks) {
    auto* blank = new TBMPButton(&form);
    blank->SetName("Pusty");
    blank->SetParent(&form);
    EXPECT_EQ(blank->Width(), 100);
    EXPECT_EQ(blank->Height(), 20);
    blank->SetBounds(8, 100, 100, 20);
    blank->SetCommandIndex(3);
    blank->SetButtons(nullptr);  // ignored
    int clicks = 0;
    blank->OnClick = [&](TComponent*) { ++clicks; };
    driver.Click("frmTest.Pusty", 60, 5);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(blank->CommandIndex(), 3);
    app->ProcessMessages();
    EXPECT_EQ(form.Buffer().GetPixel(8 + 99, 119), clWhite);
    EXPECT_EQ(form.Buffer().GetPixel(8, 100), clWhite);
}

TEST_F(BMPButtonTest, FollowsCellsThatArriveOrDoNotMakeAWholeButton) {
    ImageList later(20, 12);
    auto* shade = new TBMPButton(&form);
    shade->SetName("KlawiszeShade");
    shade->SetParent(&form);
    shade->SetBounds(10, 110, 1, 12);
    shade->SetButtons(&later);
    app->ProcessMessages();
    EXPECT_EQ(shade->Width(), 1);      // an empty list is no list: the bar keeps its size
    later.Add(TestStrip(10, 20, 12));  // three buttons and a stray cell
    form.Invalidate();
    app->ProcessMessages();
    app->ProcessMessages();  // the new size is painted on the next round
    EXPECT_EQ(shade->ButtonCount(), 3);
    EXPECT_EQ(shade->Width(), 60);
    EXPECT_EQ(shade->Height(), 12);
    EXPECT_EQ(CellAt(form.Buffer(), 10 + 45, 115), 6);
    EXPECT_EQ(form.Buffer().GetPixel(10 + 60, 115), form.Buffer().GetPixel(10 + 80, 115));
}

// The program's own bars, in every state, blown up for a look (TT_SNAPSHOT_DIR).
TEST_F(BMPButtonTest, SkinBarsShowEveryFaceOfEveryButton) {
    struct Skin {
        SkinPicture picture;
        const char* file;
    };
    for (const Skin& s :
         {Skin{SkinPicture::Image2, "bar_commands.png"},
          Skin{SkinPicture::Image4, "bar_window.png"}, Skin{SkinPicture::Image3, "bar_shade.png"},
          Skin{SkinPicture::Image5, "bar_okcancel.png"}}) {
        const SkinPictureInfo& info = SkinInfo(s.picture);
        ImageList list(info.CellWidth, info.CellHeight);
        list.Add(LoadSkinPicture(s.picture));
        TBMPButton skinBar(nullptr);
        skinBar.SetButtons(&list);
        const int n = info.CellCount() / 3;
        // One row per state: all normal, then each button highlighted, then each pressed.
        Bitmap sheet(n * info.CellWidth, (1 + 2 * n) * info.CellHeight);
        int row = 0;
        auto shoot = [&](int index, int hover) {
            skinBar.SetCommandIndex(index);
            skinBar.MouseLeave();
            if (hover == 1) skinBar.MouseMove(0, index * info.CellWidth, 1);
            if (hover == 2)
                skinBar.MouseDown(TMouseButton::mbLeft, ssLeft, index * info.CellWidth, 1);
            EXPECT_EQ(skinBar.HoverState(), hover);
            sheet.GetCanvas().Draw(0, row++ * info.CellHeight, skinBar.StripBitmap());
        };
        shoot(0, 0);
        for (int hover = 1; hover <= 2; ++hover) {
            for (int i = 0; i < n; ++i) shoot(i, hover);
        }
        EXPECT_EQ(skinBar.Width(), n * info.CellWidth);
        // A lit button differs from its idle face, and the others stay idle.
        const Bitmap& idle = sheet;
        for (int i = 0; i < n; ++i) {
            bool differs = false;
            for (int y = 0; y < info.CellHeight && !differs; ++y) {
                for (int x = 0; x < info.CellWidth && !differs; ++x) {
                    differs = idle.GetPixel(i * info.CellWidth + x, y) !=
                              sheet.GetPixel(i * info.CellWidth + x, (1 + i) * info.CellHeight + y);
                }
            }
            EXPECT_TRUE(differs) << s.file << " button " << i;
        }
        SaveSnapshot(sheet, s.file);
    }
}

}  // namespace
}  // namespace tt
