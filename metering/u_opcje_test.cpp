#include "metering/u_opcje.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>

#include "base/files.h"
#include "controls/skin/skin.h"
#include "platform/headless/headless_backend.h"
#include "toolkit/application.h"
#include "toolkit/headless_driver.h"

namespace tt {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file) {
    return ReadWholeFile(file).value_or("");
}

class OpcjeTest : public ::testing::Test {
  protected:
    OpcjeTest() {
        static std::atomic<int> serial{0};
        dir = fs::temp_directory_path() /
              ("tt_opcje_" + std::to_string(getpid()) + "_" + std::to_string(++serial));
        fs::create_directories(dir);
        ini = dir / "taktomat.ini";
        shell.Skins.Fill();
        app->SetTitle("Taktomat 2000");
        shell.SnapArea = app->WorkArea();
    }
    ~OpcjeTest() override {
        app.reset();
        fs::remove_all(dir);
    }
    void WriteIni(const std::string& text) { ASSERT_TRUE(ReplaceFileAtomically(ini, text)); }

    TfrmOpcje& Create() {
        settings = std::make_unique<TSettings>(ini);
        form = &app->CreateForm<TfrmOpcje>(shell, *settings, format, table, dir);
        return *form;
    }
    TfrmOpcje& Open() {
        TfrmOpcje& f = form ? *form : Create();
        f.SetBounds(100, 100, f.Width(), f.Height());
        f.Show();
        app->ProcessMessages();
        return f;
    }
    // Focuses the field and sends it one key.
    void KeyInto(TEdit* field, int vk) {
        field->SetFocus();
        driver.Key(vk);
    }
    void ClickOk() { driver.Click("frmOpcje.Klawisze", 10, 10); }
    void ClickCancel() { driver.Click("frmOpcje.Klawisze", 45, 10); }
    void StepUp(const char* counter) {
        const std::string path = std::string("frmOpcje.") + counter;
        driver.Press(path, 45, 3);
        driver.Release(path, 45, 3);
    }

    fs::path dir;
    fs::path ini;
    FormatSettings format = MakeFormatSettings("dd.mm.yyyy", "hh:nn:ss", ',');
    TTariffTable table;
    TShell shell;
    std::unique_ptr<TSettings> settings;
    headless::HeadlessBackend backend;
    std::unique_ptr<Application> app = std::make_unique<Application>(backend);
    HeadlessDriver driver{*app, backend};
    TfrmOpcje* form = nullptr;
};

TEST_F(OpcjeTest, WithoutAFileShowsTheDefaultsAndFillsTheTable) {
    table.PulseLength = {0, 1, 1, 1};
    table.PulsePrice = {0, 9, 9, 9};
    TfrmOpcje& f = Create();
    EXPECT_EQ(f.Caption(), "Opcje Taktomata");
    EXPECT_EQ(f.Width(), 275);
    EXPECT_EQ(f.Height(), 140);
    EXPECT_FALSE(f.Visible());

    EXPECT_EQ(f.edtStrefa1_Start->Text(), "08:00:00");
    EXPECT_EQ(f.edtStrefa2_Start->Text(), "22:00:00");
    EXPECT_EQ(f.edtStrefa3_Start->Text(), "00:00:00");
    EXPECT_EQ(f.edtCena1->Text(), "0,29");
    EXPECT_EQ(f.edtCena3->Text(), "0,29");
    EXPECT_EQ(f.cntImpuls_1->Value(), 180);
    EXPECT_EQ(f.cntImpuls_2->Value(), 360);
    EXPECT_EQ(f.cntImpuls_3->Value(), 30);  // the stored default 0, raised by the counter
    EXPECT_EQ(table.PulseLength, (std::array<int32_t, 4>{0, 180, 360, 30}));
    EXPECT_EQ(table.PulsePrice[1], 0.29L);
    EXPECT_EQ(SecondOfDay(table.ZoneStart[2]), 22 * 3600);
    EXPECT_TRUE(f.DoPulpitu->Checked());
    EXPECT_FALSE(f.DoEkranu->Checked());
    EXPECT_TRUE(f.chkShade->Checked());
    EXPECT_FALSE(f.Klawisze->AltDrawing());
    EXPECT_FALSE(fs::exists(ini));  // reading creates nothing
}

TEST_F(OpcjeTest, StoredValuesAreClampedNormalisedOrReplacedByTheirDefaults) {
    WriteIni(
        "[OPCJE]\nIMPULS1=45\nIMPULS2=0x3C\nIMPULS3=5000\nPULPIT=0\nSHADEDOWN=0\n"
        "S2_Start=18:00:00\nCENA1=0,290\nCENA2=0.35\nCENA3=-1,5\n");
    TfrmOpcje& f = Create();
    EXPECT_EQ(table.PulseLength, (std::array<int32_t, 4>{0, 45, 60, 3600}));
    EXPECT_EQ(f.cntImpuls_1->Value(), 45);  // inside the range: kept off the step
    EXPECT_EQ(f.edtCena1->Text(), "0,29");
    // A decimal point put in by hand cannot be read with a decimal comma: the default.
    EXPECT_EQ(f.edtCena2->Text(), "0,29");
    EXPECT_EQ(table.PulsePrice[2], 0.29L);
    EXPECT_EQ(table.PulsePrice[3], -1.5L);
    EXPECT_EQ(f.edtStrefa2_Start->Text(), "18:00:00");
    EXPECT_EQ(SecondOfDay(table.ZoneStart[2]), 18 * 3600);
    EXPECT_FALSE(f.DoPulpitu->Checked());
    EXPECT_TRUE(f.DoEkranu->Checked());
    EXPECT_FALSE(f.chkShade->Checked());

    WriteIni("[OPCJE]\nIMPULS1=abc\nPULPIT=2\n");
    f.Show();
    EXPECT_EQ(f.cntImpuls_1->Value(), 180);
    EXPECT_TRUE(f.DoPulpitu->Checked());
    EXPECT_FALSE(f.DoEkranu->Checked());
}

TEST_F(OpcjeTest, StartTimeKeysStepByHalfHoursAndWrapAroundMidnight) {
    TfrmOpcje& f = Open();
    struct Case {
        const char* from;
        int key;
        const char* to;
    };
    const Case cases[] = {
        {"23:30:00", VK_UP, "00:00:00"},   {"00:00:00", VK_DOWN, "23:30:00"},
        {"00:30:00", VK_DOWN, "00:00:00"}, {"08:00:00", VK_UP, "08:30:00"},
        {"08:15:00", VK_UP, "09:00:00"},   {"08:15:00", VK_DOWN, "08:00:00"},
        {"08:30:45", 'A', "08:00:00"},  // any key other than Up goes back
    };
    for (const Case& c : cases) {
        f.edtStrefa2_Start->SetText(c.from);
        KeyInto(f.edtStrefa2_Start, c.key);
        EXPECT_EQ(f.edtStrefa2_Start->Text(), c.to) << c.from << " key " << c.key;
    }
    // The field is read-only: typing does not change it, and only a confirm reaches the meter.
    f.edtStrefa1_Start->SetFocus();
    driver.Type("7");
    EXPECT_EQ(f.edtStrefa1_Start->Text(), "08:00:00");
    EXPECT_EQ(SecondOfDay(table.ZoneStart[2]), 22 * 3600);

    // Tab leaves for the next field without moving the time.
    KeyInto(f.edtStrefa1_Start, VK_TAB);
    EXPECT_EQ(f.edtStrefa1_Start->Text(), "08:00:00");
    EXPECT_FALSE(f.edtStrefa1_Start->Focused());
}

TEST_F(OpcjeTest, ConfirmWritesEveryKeyButOnlyTheStartTimesReachTheMeterAtOnce) {
    TfrmOpcje& f = Open();
    KeyInto(f.edtStrefa1_Start, VK_UP);
    f.edtCena1->SetText("0,350");
    StepUp("cntImpuls_1");
    EXPECT_EQ(f.cntImpuls_1->Value(), 210);
    driver.Click("frmOpcje.DoEkranu", 5, 8);
    driver.Click("frmOpcje.chkShade", 5, 8);
    ClickOk();

    EXPECT_FALSE(f.Visible());
    EXPECT_EQ(shell.SnapArea, (TRect{0, 0, 1024, 768}));  // the whole screen
    EXPECT_EQ(SecondOfDay(table.ZoneStart[1]), 8 * 3600 + 1800);
    EXPECT_EQ(table.PulsePrice[1], 0.29L);
    EXPECT_EQ(table.PulseLength[1], 180);
    const TSettings check(ini);
    EXPECT_EQ(check.ReadString("OPCJE", "CENA1", ""), "0,350");  // as typed
    EXPECT_EQ(check.ReadString("OPCJE", "CENA2", ""), "0,29");
    EXPECT_EQ(check.ReadString("OPCJE", "S1_Start", ""), "08:30:00");
    EXPECT_EQ(check.ReadString("OPCJE", "S3_Start", ""), "00:00:00");
    EXPECT_EQ(check.ReadString("OPCJE", "IMPULS1", ""), "210");
    EXPECT_EQ(check.ReadString("OPCJE", "IMPULS3", ""), "30");
    EXPECT_EQ(check.ReadString("OPCJE", "PULPIT", ""), "0");
    EXPECT_EQ(check.ReadString("OPCJE", "SHADEDOWN", ""), "0");

    // The next show brings the prices and pulse lengths to the meter.
    f.Show();
    EXPECT_EQ(table.PulsePrice[1], 0.35L);
    EXPECT_EQ(table.PulseLength[1], 210);
    EXPECT_EQ(f.edtCena1->Text(), "0,35");
    EXPECT_TRUE(f.DoEkranu->Checked());

    // Back to the desktop: the work area again.
    driver.Click("frmOpcje.DoPulpitu", 5, 8);
    ClickOk();
    EXPECT_EQ(shell.SnapArea, app->WorkArea());
}

TEST_F(OpcjeTest, APriceOfLettersIsRefusedAfterTheSnapAndStartTimesApplied) {
    TfrmOpcje& f = Open();
    KeyInto(f.edtStrefa3_Start, VK_UP);
    f.edtCena2->SetText("abc");
    driver.Click("frmOpcje.DoEkranu", 5, 8);
    ClickOk();

    ASSERT_EQ(backend.MessageBoxes().size(), 1u);
    EXPECT_EQ(backend.MessageBoxes()[0].text, "Nieprawidłowe wartości ceny!");
    EXPECT_EQ(backend.MessageBoxes()[0].caption, "Taktomat 2000");
    EXPECT_EQ(backend.MessageBoxes()[0].flags, ui::kMbOk | ui::kMbIconExclamation);
    EXPECT_TRUE(f.Visible());
    EXPECT_FALSE(fs::exists(ini));
    EXPECT_EQ(SecondOfDay(table.ZoneStart[3]), 1800);
    EXPECT_EQ(shell.SnapArea, (TRect{0, 0, 1024, 768}));
}

TEST_F(OpcjeTest, AFileThatCannotBeWrittenKeepsTheWindowOpenWithTheUsersValues) {
    ini = dir / "missing" / "taktomat.ini";
    TfrmOpcje& f = Open();
    f.edtCena1->SetText("0,40");
    ClickOk();
    ASSERT_EQ(backend.MessageBoxes().size(), 1u);
    EXPECT_EQ(backend.MessageBoxes()[0].text, "Nieprawidłowe wartości ceny!");
    EXPECT_TRUE(f.Visible());
    EXPECT_EQ(f.edtCena1->Text(), "0,40");
}

TEST_F(OpcjeTest, CancelWritesNothingAndTheNextShowPutsBackTheFilesValues) {
    WriteIni("[OPCJE]\nIMPULS2=90\nCENA3=1,25\n");
    TfrmOpcje& f = Open();
    StepUp("cntImpuls_2");
    f.edtCena3->SetText("7");
    KeyInto(f.edtStrefa1_Start, VK_DOWN);
    driver.Click("frmOpcje.chkShade", 5, 8);
    const std::string before = ReadAll(ini);
    ClickCancel();
    EXPECT_FALSE(f.Visible());
    EXPECT_EQ(ReadAll(ini), before);
    // Nothing is reloaded until the next show: the main window's roll-up still sees the tick.
    EXPECT_FALSE(f.chkShade->Checked());
    EXPECT_EQ(SecondOfDay(table.ZoneStart[1]), 8 * 3600);

    Open();
    EXPECT_EQ(f.cntImpuls_2->Value(), 90);
    EXPECT_EQ(f.edtCena3->Text(), "1,25");
    EXPECT_EQ(f.edtStrefa1_Start->Text(), "08:00:00");
    EXPECT_TRUE(f.chkShade->Checked());
}

TEST_F(OpcjeTest, OneOfTheTwoSnapBoxesIsAlwaysTicked) {
    TfrmOpcje& f = Open();
    driver.Click("frmOpcje.DoPulpitu", 5, 8);
    EXPECT_TRUE(f.DoPulpitu->Checked());
    EXPECT_FALSE(f.DoEkranu->Checked());
    driver.Click("frmOpcje.DoEkranu", 5, 8);
    EXPECT_TRUE(f.DoEkranu->Checked());
    EXPECT_FALSE(f.DoPulpitu->Checked());
    driver.Click("frmOpcje.DoEkranu", 5, 8);
    EXPECT_TRUE(f.DoEkranu->Checked());
    EXPECT_FALSE(f.DoPulpitu->Checked());
    driver.Click("frmOpcje.DoPulpitu", 5, 8);
    EXPECT_TRUE(f.DoPulpitu->Checked());
    EXPECT_FALSE(f.DoEkranu->Checked());
}

TEST_F(OpcjeTest, AnyButtonOnTheBackgroundMovesTheWindowAndTheReleaseClampsIt) {
    TfrmOpcje& f = Open();
    driver.Press("frmOpcje", 240, 10);
    driver.Release("frmOpcje", 240 + 900, 10 + 20);
    EXPECT_EQ(f.Left(), 1024 - 275);
    EXPECT_EQ(f.Top(), 120);

    driver.Press("frmOpcje", 240, 10, TMouseButton::mbRight);
    driver.Release("frmOpcje", 240 - 30, 10 + 900, TMouseButton::mbRight);
    EXPECT_EQ(f.Left(), 1024 - 275 - 30);
    EXPECT_EQ(f.Top(), 740 - 140);  // the work area's bottom, above the taskbar

    // A press on a control is that control's own.
    driver.Press("frmOpcje.edtCena1", 5, 5);
    driver.Release("frmOpcje.edtCena1", 400, 5);
    EXPECT_EQ(f.Left(), 1024 - 275 - 30);
}

TEST_F(OpcjeTest, TheMarkerFileSwitchesAltDrawingAtEveryShow) {
    TfrmOpcje& f = Create();
    ASSERT_TRUE(ReplaceFileAtomically(dir / "w95bug.txt", ""));
    Open();
    EXPECT_TRUE(f.Klawisze->AltDrawing());
    EXPECT_TRUE(f.cntImpuls_1->AltDrawing());
    EXPECT_TRUE(f.cntImpuls_3->AltDrawing());
    fs::remove(dir / "w95bug.txt");
    f.Hide();
    Open();
    EXPECT_FALSE(f.Klawisze->AltDrawing());
    EXPECT_FALSE(f.cntImpuls_2->AltDrawing());
}

TEST_F(OpcjeTest, PaintsTheSkinBehindItsControls) {
    Open();
    const Bitmap shot = driver.Snapshot("frmOpcje");
    ASSERT_EQ(shot.Width(), 275);
    ASSERT_EQ(shot.Height(), 140);
    EXPECT_EQ(shot.GetPixel(0, 0), kSkinFrameColor);
    EXPECT_EQ(shot.GetPixel(137, 139), kSkinFrameColor);  // the frame squeezed, not cut
    EXPECT_EQ(shot.GetPixel(250, 60), kSkinFieldColor);
    // The confirm bar shows the OK and Anuluj faces of the shared strip.
    const Bitmap ok = [&] {
        Bitmap cell(35, 20);
        shell.Skins.ImageList1.Draw(cell.GetCanvas(), 0, 0, 0);  // cell 0: OK, normal
        return cell;
    }();
    for (int x = 0; x < 35; x += 7) {
        for (int y = 0; y < 20; y += 5) {
            EXPECT_EQ(shot.GetPixel(197 + x, 113 + y), ok.GetPixel(x, y)) << x << "," << y;
        }
    }
    if (const char* out = std::getenv("TT_SNAPSHOT_DIR")) {
        driver.SavePng("frmOpcje", (fs::path(out) / "frmOpcje.png").string(), 4);
    }
}

}  // namespace
}  // namespace tt
