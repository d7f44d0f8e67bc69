#include "controls/window_kit.h"

#include <gtest/gtest.h>

#include "controls/skin/skin.h"
#include "testing/toolkit_test_util.h"

namespace tt {
namespace {

class ShellTest : public testing::ToolkitTest {
  protected:
    TForm* Window(int left, int top, int width, int height) {
        TForm* form = &app->CreateForm<TForm>();
        form->SetName("frmW" + std::to_string(++count_));
        form->SetBorderStyle(TFormBorderStyle::bsNone);
        form->SetBounds(left, top, width, height);
        return form;
    }
    int count_ = 0;
};

TEST_F(ShellTest, ClampPushesBackLeftAndTopFirstSoLargeWindowsEndFlushRightAndBottom) {
    const TRect area{0, 0, 1024, 740};
    TForm* w = Window(900, 700, 275, 80);  // half past the right and bottom edges
    ClampToSnapArea(*w, area);
    EXPECT_EQ(w->Left(), 1024 - 275);
    EXPECT_EQ(w->Top(), 740 - 80);

    w->SetBounds(-30, -5, 275, 80);
    ClampToSnapArea(*w, area);
    EXPECT_EQ(w->Left(), 0);
    EXPECT_EQ(w->Top(), 0);

    // Wider and taller than the area: the last two checks win.
    w->SetBounds(-10, -10, 1100, 800);
    ClampToSnapArea(*w, area);
    EXPECT_EQ(w->Left(), 1024 - 1100);
    EXPECT_EQ(w->Top(), 740 - 800);

    // Inside: untouched.
    w->SetBounds(10, 20, 275, 80);
    ClampToSnapArea(*w, TRect{5, 5, 600, 400});
    EXPECT_EQ(w->Left(), 10);
    EXPECT_EQ(w->Top(), 20);
}

TEST_F(ShellTest, DragGrabsOnlyWithTheLeftButtonAndKeepsTheGrabbedPointUnderThePointer) {
    TDragState drag;
    TForm* w = Window(100, 100, 275, 80);
    DragPress(drag, ssRight, 10, 10);
    EXPECT_FALSE(drag.Dragging);
    EXPECT_FALSE(DragMove(drag, *w, 50, 50));
    EXPECT_EQ(w->Left(), 100);

    DragPress(drag, ssLeft, 10, 12);
    EXPECT_TRUE(drag.Dragging);
    EXPECT_TRUE(DragMove(drag, *w, 15, 2));
    EXPECT_EQ(w->Left(), 105);
    EXPECT_EQ(w->Top(), 90);
}

TEST_F(ShellTest, SkinListsHoldEveryCellAndTheBackgroundSqueezesIntoARolledUpWindow) {
    TSkinSet skins;
    skins.Fill();
    EXPECT_EQ(skins.imgKlawisze.Count(), 15);
    EXPECT_EQ(skins.imgKlawiszeOkna.Count(), 9);
    EXPECT_EQ(skins.imgShade.Count(), 9);
    EXPECT_EQ(skins.imgCyfry.Count(), 17);
    EXPECT_EQ(skins.ImageList1.Count(), 6);
    EXPECT_EQ(skins.SkinBackground.GetPixel(0, 0), kSkinFrameColor);
    EXPECT_EQ(skins.SkinBackground.GetPixel(137, 40), kSkinFieldColor);

    TForm* w = Window(0, 0, 275, 25);
    w->OnPaint = [&](TComponent*) { PaintSkinBackground(*w, skins.SkinBackground); };
    w->Show();
    app->ProcessMessages();
    const Bitmap shot = driver.Snapshot(w->Name());
    // The frame shows at both the top and the bottom edge of the 25-pixel strip.
    EXPECT_EQ(shot.GetPixel(137, 0), kSkinFrameColor);
    EXPECT_EQ(shot.GetPixel(137, 24), kSkinFrameColor);
    EXPECT_EQ(shot.GetPixel(137, 12), kSkinFieldColor);
}

}  // namespace
}  // namespace tt
