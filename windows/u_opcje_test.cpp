#include "windows/u_opcje.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "base/files.h"
#include "controls/skin/skin.h"
#include "platform/headless/headless_driver.h"
#include "toolkit/application.h"

namespace tt {
namespace {

namespace fs = std::filesystem;

class OpcjeTest : public ::testing::Test {
  protected:
    OpcjeTest() {
        fs::create_directories(dir);
        kit.Skins.Fill();
        app->SetTitle("Taktomat 2000");
    }
    ~OpcjeTest() override {
        app.reset();
        fs::remove_all(dir);
    }
    void WriteIni(const std::string& text) { ASSERT_TRUE(ReplaceFileAtomically(ini, text)); }
    std::string Stored(const char* key) const {
        return TSettings(ini).ReadString("OPCJE", key, "-");
    }
    TfrmOpcje& Open() {
        if (!form) {
            settings = std::make_unique<TSettings>(ini);
            form = &app->CreateForm<TfrmOpcje>(kit, *settings, format, table, dir);
        }
        form->SetBounds(100, 100, form->Width(), form->Height());
        form->Show();
        app->ProcessMessages();
        return *form;
    }
    void KeyInto(TEdit* field, ui::Key key) {
        field->SetFocus();
        driver.Key(key);
    }
    void Button(int index) {
        backend.Advance(1000);  // never the second half of a double click
        driver.Click("frmOpcje.Klawisze", 35 * index + 10, 10);
    }
    void StepUp(const char* counter) {
        driver.Press(std::string("frmOpcje.") + counter, 45, 3);
        driver.Release(std::string("frmOpcje.") + counter, 45, 3);
    }
    void Tick(const char* box) { driver.Click(std::string("frmOpcje.") + box, 5, 8); }
    std::string Boxes() const {
        return std::string(form->DoPulpitu->Checked() ? "P" : "-") +
               (form->DoEkranu->Checked() ? "E" : "-") + (form->chkShade->Checked() ? "S" : "-");
    }

    fs::path dir = fs::temp_directory_path() /
                   ("tt_opcje_" + std::to_string(getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path ini = dir / "taktomat.ini";
    FormatSettings format = MakeFormatSettings("dd.mm.yyyy", "hh:nn:ss", ',');
    TTariffTable table;
    TWindowKit kit;
    std::unique_ptr<TSettings> settings;
    headless::HeadlessBackend backend;
    std::unique_ptr<Application> app = std::make_unique<Application>(backend);
    HeadlessDriver driver{*app, backend};
    TfrmOpcje* form = nullptr;
};

TEST_F(OpcjeTest, LoadingFillsTheFieldsAndTheTableFromTheFileOrItsDefaults) {
    table.PulseLength = {0, 1, 1, 1};
    TfrmOpcje& f = Open();
    EXPECT_EQ(f.edtStrefa1_Start->Text() + f.edtStrefa2_Start->Text() + f.edtStrefa3_Start->Text(),
              "08:00:0022:00:0000:00:00");
    EXPECT_EQ(f.edtCena3->Text(), "0,29");
    EXPECT_EQ(table.PulseLength, (std::array<int32_t, 4>{0, 180, 360, 360}));
    EXPECT_EQ(table.PulsePrice[1], 0.29L);
    EXPECT_EQ(Boxes(), "P-S");
    EXPECT_FALSE(f.Klawisze->AltDrawing());
    EXPECT_FALSE(fs::exists(ini));

    // Every show reloads: clamped lengths, prices shown in general form, a price with a
    // decimal point (which the user's locale cannot read) back to its default.
    WriteIni(
        "[OPCJE]\nIMPULS1=45\nIMPULS2=0x3C\nIMPULS3=5000\nPULPIT=0\nSHADEDOWN=0\n"
        "S2_Start=18:00:00\nCENA1=0,290\nCENA2=0.35\nCENA3=-1,5\n");
    ASSERT_TRUE(ReplaceFileAtomically(dir / "w95bug.txt", ""));
    f.Hide();
    Open();
    EXPECT_EQ(table.PulseLength, (std::array<int32_t, 4>{0, 45, 60, 3600}));
    EXPECT_EQ(f.edtCena1->Text() + " " + f.edtCena2->Text() + " " + f.edtCena3->Text(),
              "0,29 0,29 0,29");
    EXPECT_EQ(table.PulsePrice[3], 0.29L);
    EXPECT_EQ(SecondOfDay(table.ZoneStart[2]), 18 * 3600);
    EXPECT_EQ(Boxes(), "-E-");
    EXPECT_TRUE(f.Klawisze->AltDrawing());
    EXPECT_TRUE(f.cntImpuls_3->AltDrawing());
}

TEST_F(OpcjeTest, StartTimeKeysStepByHalfHoursAndWrapAroundMidnight) {
    TfrmOpcje& f = Open();
    const struct {
        const char* from;
        ui::Key key;
        const char* to;
    } cases[] = {
        {"23:30:00", ui::kKeyUp, "00:00:00"},   {"00:00:00", ui::kKeyDown, "23:30:00"},
        {"00:30:00", ui::kKeyDown, "00:00:00"}, {"08:00:00", ui::kKeyUp, "08:30:00"},
        {"08:15:00", ui::kKeyUp, "09:00:00"},   {"08:30:45", ui::kKeyA, "08:00:00"},
    };
    for (const auto& c : cases) {
        f.edtStrefa2_Start->SetText(c.from);
        KeyInto(f.edtStrefa2_Start, c.key);
        EXPECT_EQ(f.edtStrefa2_Start->Text(), c.to) << c.from << " key " << c.key;
    }
    EXPECT_EQ(SecondOfDay(table.ZoneStart[2]), 22 * 3600);  // not before a confirm
    driver.Type("7");                                       // read-only
    KeyInto(f.edtStrefa1_Start, ui::kKeyTab);               // only moves the focus on
    EXPECT_EQ(f.edtStrefa1_Start->Text(), "08:00:00");
    EXPECT_FALSE(f.edtStrefa1_Start->Focused());
}

TEST_F(OpcjeTest, ConfirmWritesEveryKeyButOnlyTheStartTimesReachTheMeterAtOnce) {
    TfrmOpcje& f = Open();
    KeyInto(f.edtStrefa1_Start, ui::kKeyUp);
    f.edtCena1->SetText("0,350");
    StepUp("cntImpuls_1");
    Tick("DoEkranu");
    Tick("chkShade");
    Button(0);
    EXPECT_FALSE(f.Visible());
    EXPECT_FALSE(kit.SnapToWorkArea);
    EXPECT_EQ(SecondOfDay(table.ZoneStart[1]), 8 * 3600 + 1800);
    EXPECT_EQ(table.PulsePrice[1], 0.29L);
    EXPECT_EQ(table.PulseLength[1], 180);
    EXPECT_EQ(Stored("CENA1") + " " + Stored("CENA2") + " " + Stored("S1_Start") + " " +
                  Stored("S3_Start") + " " + Stored("IMPULS1") + " " + Stored("IMPULS3") + " " +
                  Stored("PULPIT") + Stored("SHADEDOWN"),
              "0,350 0,29 08:30:00 00:00:00 210 360 00");

    Open();
    EXPECT_EQ(table.PulsePrice[1], 0.35L);
    EXPECT_EQ(table.PulseLength[1], 210);
    EXPECT_EQ(f.edtCena1->Text(), "0,35");
    Tick("DoPulpitu");
    Button(0);
    EXPECT_TRUE(kit.SnapToWorkArea);
}

TEST_F(OpcjeTest, AnUnreadablePriceOrFileKeepsTheWindowOpenAndWritesNothing) {
    TfrmOpcje& f = Open();
    KeyInto(f.edtStrefa3_Start, ui::kKeyUp);
    f.edtCena2->SetText("abc");
    Tick("DoEkranu");
    Button(0);
    ASSERT_EQ(backend.MessageBoxes().size(), 1u);
    EXPECT_EQ(backend.MessageBoxes()[0].text, "Nieprawidłowe wartości ceny!");
    EXPECT_EQ(backend.MessageBoxes()[0].caption, "Taktomat 2000");
    EXPECT_EQ(backend.MessageBoxes()[0].flags, ui::kMbOk | ui::kMbIconExclamation);
    EXPECT_TRUE(f.Visible());
    EXPECT_FALSE(fs::exists(ini));
    // What came before the prices has taken effect.
    EXPECT_EQ(SecondOfDay(table.ZoneStart[3]), 1800);
    EXPECT_FALSE(kit.SnapToWorkArea);

    // A number that is no price: negative, or past 1000 a pulse.
    for (const char* price : {"-0,29", "1000,5", "3e38"}) {
        f.edtCena2->SetText(price);
        Button(0);
        EXPECT_EQ(backend.MessageBoxes().back().text, "Cena impulsu musi wynosić od 0 do 1000 zł!");
        EXPECT_TRUE(f.Visible());
        EXPECT_FALSE(fs::exists(ini));
    }

    f.edtCena2->SetText("0,5");
    fs::create_directories(ini);  // a folder where the file should be: no write succeeds
    Button(0);
    ASSERT_EQ(backend.MessageBoxes().size(), 5u);
    EXPECT_EQ(backend.MessageBoxes()[4].text, "Nieprawidłowe wartości ceny!");
    EXPECT_TRUE(f.Visible());
    EXPECT_EQ(f.edtCena2->Text(), "0,5");
}

TEST_F(OpcjeTest, CancelWritesNothingAndTheNextShowPutsBackTheFilesValues) {
    WriteIni("[OPCJE]\nIMPULS2=90\nCENA3=1,25\n");
    TfrmOpcje& f = Open();
    StepUp("cntImpuls_2");
    f.edtCena3->SetText("7");
    KeyInto(f.edtStrefa1_Start, ui::kKeyDown);
    Tick("chkShade");
    Button(1);
    EXPECT_FALSE(f.Visible());
    EXPECT_EQ(Stored("IMPULS2") + Stored("CENA3") + Stored("SHADEDOWN"), "901,25-");
    // Nothing reloads before the next show: the main window's roll-up still sees the change.
    EXPECT_EQ(Boxes(), "P--");
    EXPECT_EQ(SecondOfDay(table.ZoneStart[1]), 8 * 3600);

    Open();
    EXPECT_EQ(f.cntImpuls_2->Value(), 90);
    EXPECT_EQ(f.edtCena3->Text(), "1,25");
    EXPECT_EQ(f.edtStrefa1_Start->Text(), "08:00:00");
    EXPECT_EQ(Boxes(), "P-S");
}

TEST_F(OpcjeTest, ASnapBoxIsSwitchedOffOnlyByTickingTheOther) {
    Open();
    std::string seen;
    for (const char* box : {"DoPulpitu", "DoEkranu", "DoEkranu", "DoPulpitu"}) {
        Tick(box);
        seen += Boxes().substr(0, 2) + " ";
    }
    EXPECT_EQ(seen, "P- -E -E P- ");
}

TEST_F(OpcjeTest, APressOnTheBackgroundMovesTheWindowWhichTheReleaseClamps) {
    TfrmOpcje& f = Open();
    driver.Press("frmOpcje", 240, 10);
    driver.Release("frmOpcje", 240 + 900, 10 + 20);
    EXPECT_EQ(f.BoundsRect(), (TRect{1024 - 275, 120, 1024, 260}));
    driver.Press("frmOpcje", 240, 10, TMouseButton::mbRight);
    driver.Release("frmOpcje", 240 - 30, 10 + 900, TMouseButton::mbRight);
    EXPECT_EQ(f.BoundsRect(), (TRect{1024 - 305, 740 - 140, 1024 - 30, 740}));
    driver.Press("frmOpcje.edtCena1", 5, 5);  // a control's press is its own
    driver.Release("frmOpcje.edtCena1", 400, 5);
    EXPECT_EQ(f.Left(), 1024 - 305);
}

TEST_F(OpcjeTest, PaintsTheSkinBehindItsControls) {
    Open();
    const Bitmap shot = driver.Snapshot("frmOpcje");
    EXPECT_EQ(shot.GetPixel(137, 139), kSkinFrameColor);  // squeezed, not cut
    EXPECT_EQ(shot.GetPixel(250, 60), kSkinFieldColor);
    Bitmap ok(35, 20);
    kit.Skins.ImageList1.Draw(ok.GetCanvas(), 0, 0, 0);
    for (int x = 0; x < 35; x += 5) EXPECT_EQ(shot.GetPixel(197 + x, 123), ok.GetPixel(x, 10));
    if (const char* out = std::getenv("TT_SNAPSHOT_DIR")) {
        driver.SavePng("frmOpcje", (fs::path(out) / "frmOpcje.png").string(), 4);
    }
}

TEST_F(OpcjeTest, StartTimeFieldsHoldTheLocalesLongestTime) {
    // The 12-hour time fits the old width in the built-in font, not in a desktop one; the
    // field takes the longer text in any case, and grows where the text needs it.
    struct Case {
        const char* pattern;
        const char* longest;
    };
    for (const Case& c : {Case{"hh:nn:ss", "23:58:58"}, Case{"h:nn:ss AM/PM", "12:58:58 PM"},
                          Case{"hh' h 'nn' min 'ss' s'", "23 h 58 min 58 s"}}) {
        format = MakeFormatSettings("m/d/yyyy", c.pattern, '.');
        settings = std::make_unique<TSettings>(ini);
        TfrmOpcje& f = app->CreateForm<TfrmOpcje>(kit, *settings, format, table, dir);
        TEdit* field = f.edtStrefa1_Start;
        EXPECT_GE(field->Width(), MeasureText(field->Font(), c.longest).Width + 6) << c.pattern;
        EXPECT_GE(field->MaxLength(), static_cast<int>(std::string_view(c.longest).size()));
        EXPECT_GE(f.cntImpuls_1->Left(), field->Left() + field->Width() + 10) << c.pattern;
        EXPECT_GE(f.edtCena1->Left(), f.cntImpuls_1->Left() + f.cntImpuls_1->Width() + 12);
        EXPECT_LE(f.edtCena1->Left() + f.edtCena1->Width(), f.Width() - 8);
        EXPECT_EQ(f.lblCena->Left(), f.edtCena1->Left());
    }
}

}  // namespace
}  // namespace tt
