#include "windows/u_raport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/toolkit_test_util.h"

namespace tt {
namespace {

constexpr TColor kInk = ColorRGB(255, 255, 128);
constexpr int kListLeft = 8;
constexpr int kListTop = 24;

class RaportTest : public testing::ToolkitTest {
  protected:
    RaportTest() {
        kit.Skins.Fill();
        form = &app->CreateForm<TfrmRaport>(kit);
        form->SetBounds(300, 400, form->Width(), form->Height());
    }

    void Open(const std::vector<std::string>& lines) {
        TLogLines log;
        for (const auto& line : lines) log.Add(line);
        form->CopyLog(log);
        form->Show();
        app->ProcessMessages();
    }

    Bitmap Shot() const { return driver.Snapshot("frmRaport"); }

    // The first column from `left` on (up to `right`) with a pixel of the text colour in the
    // rows top..bottom of the snapshot; -1 when there is none.
    static int FirstInk(const Bitmap& shot, int left, int right, int top, int bottom) {
        for (int x = left; x < right; ++x) {
            for (int y = top; y < bottom; ++y) {
                if (shot.GetPixel(x, y) == kInk) return x;
            }
        }
        return -1;
    }

    // Where the first ink of `text` lies within its cell, in the form's font.
    int InkOffset(const std::string& text) const {
        Bitmap scratch(200, 20);
        Canvas& c = scratch.GetCanvas();
        c.Brush().Color = clBlack;
        c.FillRect(scratch.BoundsRect());
        c.Font() = form->Font();
        c.DrawTextLine({0, 0, 200, 20}, text, TextPrefix::None);
        for (int x = 0; x < 200; ++x) {
            for (int y = 0; y < 20; ++y) {
                if (scratch.GetPixel(x, y) == kInk) return x;
            }
        }
        return -1;
    }

    int RowTop(int row) const { return kListTop + 16 * row; }
    int FieldInk(const Bitmap& shot, int row, int column) const {
        const int left = kListLeft + 65 * column;
        return FirstInk(shot, left, left + 65, RowTop(row), RowTop(row) + 16);
    }

    TWindowKit kit;
    TfrmRaport* form = nullptr;
};

TEST_F(RaportTest, HeadingsStandOverTheirColumnsAndTheFieldsStartEverySixtyFivePixels) {
    Open({"2000-12-31\t00:12:34\t5\t1,45\t", "2000-12-31\t00:12:34\t5\t1,45"});
    const Bitmap shot = Shot();

    // Headings: the first one 2 pixels in, the others at the quarters of the list's width.
    const char* headings[] = {"Data", "Czas", "Impulsy", "Koszt"};
    const int headingX[] = {2, 65, 130, 195};
    for (int k = 0; k < 4; ++k) {
        const int left = kListLeft + headingX[k];
        EXPECT_EQ(FirstInk(shot, left - 1, left + 60, 8, 24), left + InkOffset(headings[k]))
            << headings[k];
    }

    // Both rows, with and without the final TAB, put their fields at 0, 65, 130 and 195.
    const char* fields[] = {"2000-12-31", "00:12:34", "5", "1,45"};
    for (int row = 0; row < 2; ++row) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(FieldInk(shot, row, k), kListLeft + 65 * k + InkOffset(fields[k]))
                << "row " << row << " field " << k;
        }
    }
}

TEST_F(RaportTest, AColumnWidensForAFieldThatNeedsItAndItsHeadingFollows) {
    // A long date and a duration from a 12-hour log; the second row's fields are the usual.
    const std::string date = "dnia 31.12.2000";
    Open({date + "\t12:10:00 AM\t2\t0,58\t", "2000-12-31\t00:12:34\t5\t1,45\t"});
    const Bitmap shot = Shot();
    const int dateEnd = kListLeft + MeasureText(form->Font(), date).Width;
    const int column =
        FirstInk(shot, dateEnd, kListLeft + 260, RowTop(1), RowTop(1) + 16) - InkOffset("00:12:34");
    EXPECT_GE(column, dateEnd + 4);
    EXPECT_EQ(FirstInk(shot, dateEnd, kListLeft + 260, RowTop(0), RowTop(0) + 16),
              column + InkOffset("12:10:00 AM"));
    EXPECT_EQ(FirstInk(shot, column - 1, column + 40, 8, 24), column + InkOffset("Czas"));
    // The cost still begins within the row.
    EXPECT_GT(FirstInk(shot, column + 130, kListLeft + 260, RowTop(1), RowTop(1) + 16), 0);
}

TEST_F(RaportTest, EmptyFieldsKeepTheirColumnAndTextIsShownAsItStands) {
    Open({"abc\t\tdef", "R&D\t&x\t", "no tabs at all", "a\tb\tc\td\tFIFTH", "a\tb\tc\td\t"});
    const Bitmap shot = Shot();

    EXPECT_EQ(FieldInk(shot, 0, 0), kListLeft + InkOffset("abc"));
    EXPECT_EQ(FieldInk(shot, 0, 1), -1);
    EXPECT_EQ(FieldInk(shot, 0, 2), kListLeft + 130 + InkOffset("def"));

    // "&" is a character here, not an accelerator mark: the row matches the text drawn plain.
    Bitmap plain(65, 16);
    plain.GetCanvas().Brush().Color = ColorRGB(0, 0, 64);
    plain.GetCanvas().FillRect(plain.BoundsRect());
    plain.GetCanvas().Font() = form->Font();
    plain.GetCanvas().DrawTextLine({0, 0, 65, 16}, "R&D", TextPrefix::None);
    for (int x = 0; x < 60; ++x) {
        for (int y = 0; y < 16; ++y) {
            ASSERT_EQ(shot.GetPixel(kListLeft + x, RowTop(1) + y), plain.GetPixel(x, y))
                << x << "," << y;
        }
    }

    // A line without TABs is one field in the first column, running on past it.
    EXPECT_EQ(FieldInk(shot, 2, 0), kListLeft + InkOffset("no tabs at all"));

    // A fifth field would start at the row's right edge: the row equals the four-field one.
    for (int x = 0; x < 260; ++x) {
        for (int y = 0; y < 16; ++y) {
            ASSERT_EQ(shot.GetPixel(kListLeft + x, RowTop(3) + y),
                      shot.GetPixel(kListLeft + x, RowTop(4) + y))
                << x << "," << y;
        }
    }
}

TEST_F(RaportTest, NineSixteenPixelRowsFitAndLongerLogsScroll) {
    std::vector<std::string> lines;
    for (int i = 0; i < 12; ++i) lines.push_back("line" + std::to_string(i) + "\t");
    Open(lines);
    EXPECT_EQ(form->ListBox1->ItemHeight(), 16);
    EXPECT_EQ(form->ListBox1->VisibleRows(), 9);
    EXPECT_TRUE(form->ListBox1->ScrollBarShown());
    // It opens at the newest record, in the last row.
    EXPECT_EQ(form->ListBox1->TopIndex(), 3);
    Bitmap shot = Shot();
    EXPECT_EQ(FieldInk(shot, 8, 0), kListLeft + InkOffset("line11"));

    // The scroll bar's down arrow, at the bottom of its column, moves the rows up by one.
    form->ListBox1->SetTopIndex(0);
    driver.Click("frmRaport.ListBox1", 252, 140);
    EXPECT_EQ(form->ListBox1->TopIndex(), 1);
    shot = Shot();
    EXPECT_EQ(FieldInk(shot, 0, 0), kListLeft + InkOffset("line1"));
    // The rows below the first (which the reference shows with the focus frame) compare equal
    // to a list that starts at line1.
    Open(std::vector<std::string>(lines.begin() + 1, lines.end()));
    form->ListBox1->SetTopIndex(0);
    app->ProcessMessages();
    const Bitmap reference = Shot();
    for (int y = kListTop + 16; y < kListTop + 144; ++y) {
        for (int x = kListLeft; x < kListLeft + 240; ++x) {
            ASSERT_EQ(shot.GetPixel(x, y), reference.GetPixel(x, y)) << x << "," << y;
        }
    }
}

TEST_F(RaportTest, ASelectedRowKeepsItsLightYellowTextOnTheSelectionColour) {
    Open({"2000-12-31\t00:12:34\t5\t1,45\t", "2001-01-01\t00:00:07\t1\t0,29\t"});
    driver.Click("frmRaport.ListBox1", 200, 20);
    EXPECT_EQ(form->ListBox1->ItemIndex(), 1);
    const Bitmap shot = Shot();
    EXPECT_EQ(FieldInk(shot, 1, 0), kListLeft + InkOffset("2001-01-01"));
    EXPECT_EQ(shot.GetPixel(kListLeft + 250, RowTop(1) + 8), ColorToRGB(clHighlight));
    EXPECT_EQ(shot.GetPixel(kListLeft + 250, RowTop(0) + 8), ColorRGB(0, 0, 64));
}

TEST_F(RaportTest, TheListIsACopyTakenWhenTheReportIsOpened) {
    TLogLines log;
    log.Add("2000-12-31\t00:12:34\t5\t1,45\t");
    form->CopyLog(log);
    form->Show();
    log.Add("2001-01-01\t00:00:07\t1\t0,29\t");  // a connection ends while it is open
    EXPECT_EQ(form->ListBox1->Count(), 1);
    form->CopyLog(log);
    ASSERT_EQ(form->ListBox1->Count(), 2);
    EXPECT_EQ(form->ListBox1->Items().back(), "2001-01-01\t00:00:07\t1\t0,29\t");

    // An empty log: no rows, the headings all the same.
    form->CopyLog(TLogLines{});
    app->ProcessMessages();
    EXPECT_EQ(form->ListBox1->Count(), 0);
    EXPECT_EQ(FirstInk(Shot(), kListLeft, kListLeft + 60, 8, 24),
              kListLeft + 2 + InkOffset("Data"));
}

TEST_F(RaportTest, BothButtonsCloseTheWindowAndLeaveItsRows) {
    Open({"a\tb\t"});
    driver.Click("frmRaport.Klawisze", 10, 10);  // OK
    EXPECT_FALSE(form->Visible());
    form->Show();
    driver.Click("frmRaport.Klawisze", 45, 10);  // Anuluj
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(form->ListBox1->Count(), 1);

    form->Show();
    form->Klawisze->SetCommandIndex(2);
    form->KlawiszeClick(form->Klawisze);
    EXPECT_TRUE(form->Visible());
}

TEST_F(RaportTest, AnyButtonOnTheBackgroundMovesTheWindowWhichIsThenKeptInsideTheSnapArea) {
    Open({"a\tb\t"});
    // Right button, pulled far down: the window follows and is pushed back up on release.
    driver.Press("frmRaport", 20, 190, TMouseButton::mbRight);
    driver.Release("frmRaport", 70, 690, TMouseButton::mbRight);
    EXPECT_EQ(form->Left(), 350);
    EXPECT_EQ(form->Top(), 740 - 209);

    // Left button, a move inside the area: no clamping needed.
    driver.Press("frmRaport", 20, 190);
    driver.Release("frmRaport", 10, 180);
    EXPECT_EQ(form->Left(), 340);
    EXPECT_EQ(form->Top(), 740 - 209 - 10);

    // A press on the list selects a row and does not move the window.
    driver.Press("frmRaport.ListBox1", 10, 5);
    driver.Release("frmRaport.ListBox1", 40, 60);
    EXPECT_EQ(form->Left(), 340);
}

// Kept for a look at four times the size (TT_SNAPSHOT_DIR).
TEST_F(RaportTest, Snapshot) {
    std::vector<std::string> lines;
    for (int i = 1; i <= 11; ++i) {
        lines.push_back("2000-12-" + std::to_string(10 + i) + "\t00:1" + std::to_string(i % 10) +
                        ":34\t" + std::to_string(i) + "\t" + std::to_string(i * 29 / 100) + "," +
                        std::to_string(i * 29 % 100 / 10) + std::to_string(i * 29 % 10) + "\t");
    }
    lines[3] = "R&D\t\tpuste pole\t";
    Open(lines);
    driver.Click("frmRaport.ListBox1", 100, 40);
    EXPECT_EQ(form->ListBox1->ItemIndex(), 4);  // the third row shown of a list at its end
    if (const char* dir = std::getenv("TT_SNAPSHOT_DIR")) {
        driver.SavePng("frmRaport", (std::filesystem::path(dir) / "frmRaport.png").string(), 4);
    }
}

}  // namespace
}  // namespace tt
