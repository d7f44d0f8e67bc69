#include "controls/BMPCounter.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "controls/skin/skin.h"
#include "testing/toolkit_test_util.h"
#include "toolkit/gfx/png.h"

namespace tt {
namespace {

TColor CellColor(int cell) {
    return ColorRGB(20 + 10 * cell, 250 - 10 * cell, 100);
}

using Ints = std::vector<int>;
using Log = std::vector<std::string>;

class BMPCounterTest : public testing::ToolkitTest {
  protected:
    TForm& form = app->CreateForm<TForm>();
    ImageList digits{10, 20};
    TBMPCounter* cnt = new TBMPCounter(&form);
    Log log;

    void SetUp() override {
        form.SetName("frmTest");
        form.SetBorderStyle(TFormBorderStyle::bsNone);
        form.SetBounds(100, 100, 200, 100);
        Bitmap strip(170, 20);
        for (int i = 0; i < 17; ++i) {
            strip.GetCanvas().Brush().Color = CellColor(i);
            strip.GetCanvas().FillRect(Bounds(i * 10, 0, 10, 20));
        }
        digits.Add(strip);
        cnt->SetName("cntImpuls_1");
        cnt->SetParent(&form);
        cnt->SetBounds(10, 10, 40, 20);
        cnt->SetDigits(&digits);
        cnt->SetMaxValue(3600);
        cnt->SetMinValue(30);
        cnt->SetStep(30);
        cnt->SetValue(30);
        cnt->OnChange = [this](TComponent*) {
            log.push_back("change " + std::to_string(cnt->Value()));
        };
        cnt->OnMouseDown = [this](TComponent*, TMouseButton, TShiftState, int, int) {
            log.push_back("down");
        };
        cnt->OnDblClick = [this](TComponent*) { log.push_back("dblclick"); };
        form.Show();
        app->ProcessMessages();
    }

    // The cells on screen, left to right.
    Ints Cells() {
        app->ProcessMessages();
        Ints cells;
        for (int x = 5; x < cnt->Width(); x += 10) {
            const TPoint p = cnt->ClientToForm({x, 10});
            int found = -1;
            for (int i = 0; i < 17; ++i) {
                if (form.Buffer().GetPixel(p.X, p.Y) == CellColor(i)) found = i;
            }
            cells.push_back(found);
        }
        return cells;
    }
    void Press(int x, int y, TMouseButton button = TMouseButton::mbLeft) {
        driver.Press("frmTest.cntImpuls_1", x, y, button);
    }
    void Release(int x, int y, TMouseButton button = TMouseButton::mbLeft) {
        driver.Release("frmTest.cntImpuls_1", x, y, button);
    }
};

TEST_F(BMPCounterTest, ShowsAsManyZeroPaddedDigitsAsTheMaximumNeeds) {
    EXPECT_EQ(cnt->Width(), 50);
    EXPECT_EQ(cnt->Height(), 20);
    EXPECT_EQ(Cells(), (Ints{0, 0, 3, 0, 10}));
    cnt->SetMaxValue(44640);
    cnt->SetValue(1440);
    EXPECT_EQ(Cells(), (Ints{0, 1, 4, 4, 0, 10}));
    cnt->SetUseChanger(false);
    cnt->SetMaxValue(100);
    EXPECT_EQ(Cells(), (Ints{1, 0, 0}));

    cnt->SetMinValue(-1000);
    for (auto [max, count] : {std::pair{180.0, 3}, {10.0, 2}, {9.5, 2}, {8.5, 1}, {-999.0, 3}}) {
        cnt->SetMaxValue(max);
        EXPECT_EQ(cnt->DigitCount(), count) << max;
    }
}

TEST_F(BMPCounterTest, TheSignComesFirstAndLongNumbersShowTheirLeadingDigits) {
    cnt->SetMinValue(-5);
    cnt->SetMaxValue(10);
    cnt->SetUseSign(true);
    cnt->SetValue(-3);
    EXPECT_EQ(Cells(), (Ints{15, 0, 3, 10}));
    cnt->SetValue(7);
    EXPECT_EQ(Cells(), (Ints{14, 0, 7, 10}));
    cnt->SetMinValue(-100);
    cnt->SetValue(-100);
    EXPECT_EQ(Cells(), (Ints{15, 1, 0, 10}));
    cnt->SetAltDrawing(true);  // the other route, the same cells
    cnt->SetUseSign(false);
    EXPECT_EQ(Cells(), (Ints{1, 0, 10}));
}

TEST_F(BMPCounterTest, AHeldArrowStepsAtOnceThenEvery100msUntilThePointerMoves) {
    Press(45, 3);
    EXPECT_EQ(cnt->ChangerState(), 4);
    EXPECT_EQ(Cells(), (Ints{0, 0, 6, 0, 13}));
    EXPECT_EQ(log, (Log{"change 60", "down"}));
    backend.Advance(99);
    EXPECT_EQ(cnt->Value(), 60);
    backend.Advance(1);
    EXPECT_EQ(cnt->Value(), 90);
    backend.Advance(20000);
    EXPECT_EQ(cnt->Value(), 3600);  // and there it stays
    EXPECT_EQ(log.size(), 2u);      // one change per press, not per step
    Release(45, 3);
    EXPECT_FALSE(cnt->RepeatTimer().Enabled());
    EXPECT_EQ(cnt->ChangerState(), 4);  // the pressed face stays until the pointer moves

    Press(45, 15);
    backend.Advance(100);
    EXPECT_EQ(cnt->Value(), 3540);
    driver.Move("frmTest.cntImpuls_1", 45, 15);
    EXPECT_EQ(cnt->ChangerState(), 2);
    backend.Advance(1000);
    EXPECT_EQ(cnt->Value(), 3540);
    EXPECT_TRUE(cnt->RepeatTimer().Enabled());  // runs on, idle, until the release
    Release(45, 15);
}

TEST_F(BMPCounterTest, EveryPressIsAChangeWhetherItStepsOrNot) {
    driver.Move("frmTest.cntImpuls_1", 40, 5);
    EXPECT_EQ(cnt->ChangerState(), 1);
    driver.Move("frmTest.cntImpuls_1", 41, 5);  // hovering counts from the second column
    EXPECT_EQ(Cells().back(), 11);
    Press(40, 10);  // a press from the first, and the middle row is the upper arrow's
    EXPECT_EQ(cnt->ChangerState(), 4);
    Release(40, 10);
    Press(40, 11);
    EXPECT_EQ(cnt->ChangerState(), 3);
    Release(40, 11);
    Press(45, 15);  // down from the minimum
    Release(45, 15);
    Press(39, 5);
    EXPECT_EQ(cnt->ChangerState(), 1);
    Release(39, 5);
    Press(45, 3, TMouseButton::mbRight);
    EXPECT_EQ(cnt->ChangerState(), 1);
    EXPECT_FALSE(cnt->RepeatTimer().Enabled());
    backend.Advance(500);
    Release(45, 3, TMouseButton::mbRight);
    EXPECT_EQ(log, (Log{"change 60", "down", "change 30", "down", "change 30", "down", "change 30",
                        "down", "change 30", "down"}));

    backend.Advance(1000);
    log.clear();
    driver.DblClick("frmTest.cntImpuls_1", 45, 3);  // the second press steps too
    EXPECT_EQ(log, (Log{"change 60", "down", "dblclick", "change 90", "down"}));
}

TEST_F(BMPCounterTest, ValuesAndBoundsAreClampedNeverRefused) {
    cnt->SetValue(5000);
    EXPECT_EQ(cnt->Value(), 3600);
    cnt->SetValue(-7);
    EXPECT_EQ(cnt->GetProperty("Value"), "30");
    // Each bound is held by the other, so they may arrive in either order.
    cnt->SetMaxValue(10);
    EXPECT_EQ(cnt->MaxValue(), 30);
    cnt->SetMinValue(3700);
    EXPECT_EQ(cnt->MinValue(), 30);
    cnt->SetMaxValue(3600);
    cnt->SetValue(3600);
    cnt->SetProperty("MaxValue", "180");
    EXPECT_EQ(cnt->GetProperty("MaxValue"), "180");
    EXPECT_EQ(cnt->Value(), 180);
    EXPECT_THROW(cnt->SetProperty("MaxValue", "dużo"), Error);

    auto* loaded = new TBMPCounter(&form);
    loaded->SetDigits(&digits);
    loaded->SetValue(10);  // before its bounds, while the range is 0..0
    EXPECT_EQ(loaded->Value(), 0);
    loaded->SetMaxValue(10);
    loaded->SetMinValue(1);
    EXPECT_EQ(loaded->Value(), 1);

    // Without cells nothing is drawn and the size stays, yet the value keeps to its range.
    auto* bare = new TBMPCounter(&form);
    bare->SetBounds(0, 0, 33, 44);
    bare->SetMaxValue(100);
    bare->SetValue(100);
    bare->SetMaxValue(50);
    EXPECT_EQ(bare->Value(), 50);
    bare->MouseDown(TMouseButton::mbLeft, ssLeft, 32, 5);
    EXPECT_EQ(bare->ChangerState(), 1);
    EXPECT_EQ(bare->Width(), 33);
    EXPECT_EQ(bare->Height(), 44);
}

TEST(CounterRule, RoundsHalfToEvenAndClampsLikeTheCounter) {
    EXPECT_EQ(CounterRound(2.5), 2);
    EXPECT_EQ(CounterRound(3.5), 4);
    EXPECT_EQ(CounterRound(-2.5), -2);
    EXPECT_EQ(CounterRound(1e12), 2147483647);
    EXPECT_EQ(CounterClamp(5000, 30, 3600), 3600);
    EXPECT_EQ(CounterClamp(0, 30, 3600), 30);
    EXPECT_EQ(CounterClamp(50, 1, 10), 10);
    EXPECT_EQ(CounterClamp(-20, 0, 180), 0);
    EXPECT_EQ(CounterClamp(7, 0, 2.5), 2);
}

TEST_F(BMPCounterTest, TheChangerTurnsTheApplicationCursorIntoAHand) {
    driver.Move("frmTest.cntImpuls_1", 45, 5);
    EXPECT_EQ(backend.CurrentCursor(), ui::Cursor::HandPoint);
    driver.Move("frmTest.cntImpuls_1", 20, 5);
    EXPECT_EQ(backend.CurrentCursor(), ui::Cursor::Default);
    driver.Move("frmTest.cntImpuls_1", 45, 5);
    driver.Move("frmTest", 150, 80);  // off the counter
    EXPECT_EQ(app->ScreenCursor(), crDefault);

    // Hidden or gone while pressed or hovered, it still gives the cursor back.
    Press(45, 5);
    cnt->Hide();
    EXPECT_FALSE(cnt->RepeatTimer().Enabled());
    EXPECT_EQ(app->ScreenCursor(), crDefault);
    Release(45, 5);
    cnt->Show();
    driver.Move("frmTest.cntImpuls_1", 45, 5);
    EXPECT_EQ(app->ScreenCursor(), crHandPoint);
    delete cnt;
    EXPECT_EQ(app->ScreenCursor(), crDefault);
}

// The program's digit strip in every changer state and with both signs, blown up for a look
// (TT_SNAPSHOT_DIR).
TEST_F(BMPCounterTest, TheSkinDigitsComposeIntoEveryFace) {
    ImageList imgCyfry(10, 20);
    imgCyfry.Add(LoadSkinPicture(SkinPicture::Image6));
    ASSERT_EQ(imgCyfry.Count(), 17);
    cnt->SetDigits(&imgCyfry);
    cnt->SetMinValue(-44640);
    cnt->SetMaxValue(44640);
    cnt->SetUseSign(true);
    Bitmap sheet(70, 20 * 7);
    const int values[] = {1234, -567, 89, 0, 44640, -44640, 30};
    for (int row = 0; row < 7; ++row) {
        const int state = 1 + row % 4;
        if (state == 2) cnt->MouseMove(0, 65, 5);
        if (state >= 3) {
            cnt->MouseDown(TMouseButton::mbLeft, ssLeft, 65, state == 4 ? 3 : 15);
            cnt->MouseUp(TMouseButton::mbLeft, 0, 65, 3);
        }
        cnt->SetValue(values[row]);  // after the press, so its step does not show
        EXPECT_EQ(cnt->ChangerState(), state);
        sheet.GetCanvas().Draw(0, row * 20, cnt->StripBitmap());
        cnt->MouseLeave();
    }
    // Sign, digits and changer are all drawn from the strip, none left white.
    for (int x = 0; x < 70; ++x) EXPECT_NE(sheet.GetPixel(x, 139), clWhite) << x;
    if (const char* dir = std::getenv("TT_SNAPSHOT_DIR")) {
        WritePng(sheet, std::string(dir) + "/counter.png", 4);
    }
}

}  // namespace
}  // namespace tt
