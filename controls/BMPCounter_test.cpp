#include "controls/BMPCounter.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "controls/skin/skin.h"
#include "toolkit/gfx/png.h"
#include "toolkit/toolkit_test_util.h"

namespace tt {
namespace {

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

class BMPCounterTest : public testing::ToolkitTest {
  protected:
    TForm& form = app->CreateForm<TForm>();
    ImageList digits{10, 20};
    TBMPCounter* cnt = nullptr;
    std::vector<std::string> log;

    void SetUp() override {
        form.SetName("frmTest");
        form.SetBorderStyle(TFormBorderStyle::bsNone);
        form.SetBounds(100, 100, 200, 100);
        digits.Add(TestStrip(17, 10, 20));
        cnt = new TBMPCounter(&form);
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
    std::vector<int> Cells() {
        app->ProcessMessages();
        std::vector<int> cells;
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
};

TEST_F(BMPCounterTest, ShowsZeroPaddedDigitsAsManyAsTheMaximumNeeds) {
    EXPECT_EQ(cnt->Width(), 50);
    EXPECT_EQ(cnt->Height(), 20);
    EXPECT_EQ(cnt->DigitCount(), 4);
    EXPECT_EQ(Cells(), (std::vector<int>{0, 0, 3, 0, 10}));

    cnt->SetMaxValue(44640);
    EXPECT_EQ(cnt->Width(), 60);
    cnt->SetValue(1440);
    EXPECT_EQ(Cells(), (std::vector<int>{0, 1, 4, 4, 0, 10}));

    cnt->SetUseChanger(false);
    cnt->SetMaxValue(100);
    EXPECT_EQ(cnt->Value(), 100);
    EXPECT_EQ(cnt->Width(), 30);
    EXPECT_EQ(Cells(), (std::vector<int>{1, 0, 0}));

    for (auto [max, count] : {std::pair{180.0, 3}, {10.0, 2}, {9.5, 2}, {8.5, 1}, {-999.0, 3}}) {
        cnt->SetMinValue(-1000);
        cnt->SetMaxValue(max);
        EXPECT_EQ(cnt->DigitCount(), count) << max;
    }
}

TEST_F(BMPCounterTest, APressOnTheUpperArrowStepsAtOnceAndRepeatsWhileHeld) {
    driver.Press("frmTest.cntImpuls_1", 45, 3);
    EXPECT_EQ(cnt->Value(), 60);
    EXPECT_EQ(cnt->ChangerState(), 4);
    EXPECT_EQ(Cells(), (std::vector<int>{0, 0, 6, 0, 13}));
    EXPECT_EQ(log, (std::vector<std::string>{"change 60", "down"}));

    backend.Advance(99);
    EXPECT_EQ(cnt->Value(), 60);
    backend.Advance(1);
    EXPECT_EQ(cnt->Value(), 90);
    backend.Advance(1000);
    EXPECT_EQ(cnt->Value(), 390);
    backend.Advance(20000);
    EXPECT_EQ(cnt->Value(), 3600);  // and there it stays
    EXPECT_EQ(log.size(), 2u);      // one change per press, not per step

    driver.Release("frmTest.cntImpuls_1", 45, 3);
    EXPECT_FALSE(cnt->RepeatTimer().Enabled());
    EXPECT_EQ(cnt->ChangerState(), 4);  // the pressed face stays until the pointer moves
}

TEST_F(BMPCounterTest, AnyMovementEndsTheSteppingOfThatPress) {
    driver.Press("frmTest.cntImpuls_1", 45, 3);
    backend.Advance(100);
    EXPECT_EQ(cnt->Value(), 90);
    driver.Move("frmTest.cntImpuls_1", 45, 3);
    EXPECT_EQ(cnt->ChangerState(), 2);
    backend.Advance(1000);
    EXPECT_EQ(cnt->Value(), 90);
    EXPECT_TRUE(cnt->RepeatTimer().Enabled());  // runs on, idle, until the release
    driver.Release("frmTest.cntImpuls_1", 45, 3);
    EXPECT_FALSE(cnt->RepeatTimer().Enabled());

    driver.Press("frmTest.cntImpuls_1", 45, 15);
    EXPECT_EQ(cnt->Value(), 60);
    driver.Move("frmTest", 150, 80);  // leaving ends it as well
    backend.Advance(1000);
    EXPECT_EQ(cnt->Value(), 60);
    driver.Release("frmTest", 150, 80);
}

TEST_F(BMPCounterTest, TheChangerIsPressedFromItsFirstColumnAndHoveredFromItsSecond) {
    driver.Move("frmTest.cntImpuls_1", 40, 5);
    EXPECT_EQ(cnt->ChangerState(), 1);
    driver.Move("frmTest.cntImpuls_1", 41, 5);
    EXPECT_EQ(cnt->ChangerState(), 2);
    EXPECT_EQ(Cells().back(), 11);

    driver.Press("frmTest.cntImpuls_1", 40, 10);  // the middle row counts as upper
    EXPECT_EQ(cnt->ChangerState(), 4);
    driver.Release("frmTest.cntImpuls_1", 40, 10);
    driver.Press("frmTest.cntImpuls_1", 40, 11);
    EXPECT_EQ(cnt->ChangerState(), 3);
    driver.Release("frmTest.cntImpuls_1", 40, 11);
    driver.Press("frmTest.cntImpuls_1", 39, 5);
    EXPECT_EQ(cnt->ChangerState(), 1);
    driver.Release("frmTest.cntImpuls_1", 39, 5);
    EXPECT_EQ(cnt->Value(), 30);  // up 30, down 30, then a press on the digits
    EXPECT_EQ(log.size(), 6u);    // yet every press was a change
}

TEST_F(BMPCounterTest, PressesThatCannotStepStillReportAChange) {
    driver.Press("frmTest.cntImpuls_1", 45, 15);  // down from the minimum
    EXPECT_EQ(cnt->Value(), 30);
    driver.Release("frmTest.cntImpuls_1", 45, 15);
    driver.Press("frmTest.cntImpuls_1", 45, 3, TMouseButton::mbRight);
    EXPECT_EQ(cnt->ChangerState(), 1);
    EXPECT_FALSE(cnt->RepeatTimer().Enabled());
    backend.Advance(500);
    EXPECT_EQ(cnt->Value(), 30);
    driver.Release("frmTest.cntImpuls_1", 45, 3, TMouseButton::mbRight);
    EXPECT_EQ(log, (std::vector<std::string>{"change 30", "down", "change 30", "down"}));
}

TEST_F(BMPCounterTest, TheSecondPressOfADoubleClickStepsAgain) {
    driver.DblClick("frmTest.cntImpuls_1", 45, 3);
    EXPECT_EQ(cnt->Value(), 90);
    EXPECT_EQ(log,
              (std::vector<std::string>{"change 60", "down", "dblclick", "change 90", "down"}));
}

TEST_F(BMPCounterTest, ValuesAreClampedNeverRefused) {
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
    cnt->SetMaxValue(1440);
    EXPECT_EQ(cnt->Value(), 1440);
    cnt->SetProperty("MaxValue", "180");
    EXPECT_EQ(cnt->GetProperty("MaxValue"), "180");
    EXPECT_EQ(cnt->Value(), 180);
    EXPECT_THROW(cnt->SetProperty("MaxValue", "dużo"), Error);
}

TEST_F(BMPCounterTest, AValueThatComesBeforeItsBoundsIsLiftedToTheMinimum) {
    auto* fresh = new TBMPCounter(&form);
    fresh->SetDigits(&digits);
    fresh->SetValue(10);  // the range is still 0..0
    EXPECT_EQ(fresh->Value(), 0);
    fresh->SetMaxValue(10);
    fresh->SetMinValue(1);
    EXPECT_EQ(fresh->Value(), 1);

    // Without cells nothing is drawn, yet the value stays in its range.
    auto* bare = new TBMPCounter(&form);
    bare->SetBounds(0, 0, 33, 44);
    bare->SetMaxValue(100);
    bare->SetValue(100);
    bare->SetMaxValue(50);
    EXPECT_EQ(bare->Value(), 50);
    EXPECT_EQ(bare->Width(), 33);
    EXPECT_EQ(bare->Height(), 44);
}

TEST(CounterRule, RoundsHalfToEvenAndClampsLikeTheCounter) {
    EXPECT_EQ(CounterRound(2.5), 2);
    EXPECT_EQ(CounterRound(3.5), 4);
    EXPECT_EQ(CounterRound(-2.5), -2);
    EXPECT_EQ(CounterRound(-2.6), -3);
    EXPECT_EQ(CounterRound(1e12), 2147483647);
    EXPECT_EQ(CounterRound(-1e12), -2147483647 - 1);

    EXPECT_EQ(CounterClamp(5000, 30, 3600), 3600);
    EXPECT_EQ(CounterClamp(0, 30, 3600), 30);
    EXPECT_EQ(CounterClamp(50, 1, 10), 10);  // "REP" = 50
    EXPECT_EQ(CounterClamp(0, 1, 100), 1);   // "PAUSE" = 0
    EXPECT_EQ(CounterClamp(5000, 0, 1440), 1440);
    EXPECT_EQ(CounterClamp(-20, 0, 180), 0);
    EXPECT_EQ(CounterClamp(7, 0, 2.5), 2);
}

TEST_F(BMPCounterTest, TheSignCellComesFirstAndLongNumbersShowTheirLeadingDigits) {
    cnt->SetMinValue(-5);
    cnt->SetMaxValue(10);
    cnt->SetUseSign(true);
    cnt->SetValue(-3);
    EXPECT_EQ(Cells(), (std::vector<int>{15, 0, 3, 10}));
    cnt->SetValue(7);
    EXPECT_EQ(Cells(), (std::vector<int>{14, 0, 7, 10}));

    cnt->SetMinValue(-100);
    cnt->SetValue(-100);
    EXPECT_EQ(Cells(), (std::vector<int>{15, 1, 0, 10}));
    cnt->SetUseSign(false);
    EXPECT_EQ(Cells(), (std::vector<int>{1, 0, 10}));
}

TEST_F(BMPCounterTest, TheChangerTurnsTheApplicationCursorIntoAHand) {
    driver.Move("frmTest.cntImpuls_1", 45, 5);
    EXPECT_EQ(app->ScreenCursor(), crHandPoint);
    EXPECT_EQ(backend.CurrentCursor(), ui::Cursor::HandPoint);
    driver.Move("frmTest.cntImpuls_1", 20, 5);
    EXPECT_EQ(backend.CurrentCursor(), ui::Cursor::Default);
    driver.Move("frmTest.cntImpuls_1", 45, 5);
    driver.Move("frmTest", 150, 80);  // off the counter
    EXPECT_EQ(cnt->ChangerState(), 1);
    EXPECT_EQ(app->ScreenCursor(), crDefault);

    // Hidden or gone while the pointer is on its changer, it still gives the cursor back.
    driver.Move("frmTest.cntImpuls_1", 45, 5);
    cnt->Hide();
    EXPECT_EQ(app->ScreenCursor(), crDefault);
    cnt->Show();
    driver.Move("frmTest.cntImpuls_1", 45, 5);
    EXPECT_EQ(app->ScreenCursor(), crHandPoint);
    delete cnt;
    EXPECT_EQ(app->ScreenCursor(), crDefault);
}

TEST_F(BMPCounterTest, WithoutDigitsPressesStillCount) {
    auto* bare = new TBMPCounter(&form);
    bare->SetName("bare");
    bare->SetParent(&form);
    bare->SetBounds(100, 50, 40, 20);
    int changes = 0;
    bare->OnChange = [&](TComponent*) { ++changes; };
    driver.Move("frmTest.bare", 39, 5);
    driver.Press("frmTest.bare", 39, 5);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(bare->ChangerState(), 1);
    driver.Release("frmTest.bare", 39, 5);
    EXPECT_EQ(bare->Width(), 40);
    EXPECT_EQ(bare->Height(), 20);
}

TEST_F(BMPCounterTest, BothDrawingRoutesGiveTheSamePicture) {
    cnt->SetValue(1230);
    const Bitmap direct = cnt->StripBitmap();
    cnt->SetAltDrawing(true);
    cnt->SetValue(1230);
    ASSERT_EQ(direct.Width(), cnt->StripBitmap().Width());
    for (int x = 0; x < direct.Width(); ++x) {
        for (int y = 0; y < direct.Height(); ++y) {
            ASSERT_EQ(direct.GetPixel(x, y), cnt->StripBitmap().GetPixel(x, y));
        }
    }
    EXPECT_EQ(Cells(), (std::vector<int>{1, 2, 3, 0, 10}));
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
        EXPECT_EQ(cnt->Value(), values[row]);
        sheet.GetCanvas().Draw(0, row * 20, cnt->StripBitmap());
        cnt->MouseLeave();
    }
    EXPECT_EQ(cnt->Width(), 70);
    // Sign, digits and changer cells are drawn from the strip, not left white.
    EXPECT_NE(sheet.GetPixel(0, 0), clWhite);
    EXPECT_NE(sheet.GetPixel(69, 139), clWhite);
    if (const char* dir = std::getenv("TT_SNAPSHOT_DIR")) {
        WritePng(sheet, std::string(dir) + "/counter.png", 4);
    }
}

}  // namespace
}  // namespace tt
