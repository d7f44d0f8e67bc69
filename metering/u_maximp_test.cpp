#include "metering/u_maximp.h"

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

class MaxImpTest : public ::testing::Test {
  protected:
    MaxImpTest() {
        static std::atomic<int> serial{0};
        dir = fs::temp_directory_path() /
              ("tt_maximp_" + std::to_string(getpid()) + "_" + std::to_string(++serial));
        fs::create_directories(dir);
        ini = dir / "taktomat.ini";
        shell.Skins.Fill();
        app->SetTitle("Taktomat 2000");
        shell.SnapArea = app->WorkArea();
    }
    ~MaxImpTest() override {
        app.reset();
        fs::remove_all(dir);
    }
    void WriteIni(const std::string& text) { ASSERT_TRUE(ReplaceFileAtomically(ini, text)); }

    TfrmMaxImp& Create() {
        settings = std::make_unique<TSettings>(ini);
        form = &app->CreateForm<TfrmMaxImp>(shell, *settings, limits, dir);
        return *form;
    }
    TfrmMaxImp& Open() {
        TfrmMaxImp& f = form ? *form : Create();
        f.SetBounds(100, 100, f.Width(), f.Height());
        f.Show();
        app->ProcessMessages();
        return f;
    }
    // One step up with the counter's changer, at the right edge of the upper half.
    void StepUp(const char* counter) {
        const std::string path = std::string("frmMaxImp.") + counter;
        const int x = driver.Find(path).Width() - 5;
        driver.Press(path, x, 3);
        driver.Release(path, x, 3);
    }
    void ClickOk() { driver.Click("frmMaxImp.Klawisze", 10, 10); }
    void ClickCancel() { driver.Click("frmMaxImp.Klawisze", 45, 10); }

    fs::path dir;
    fs::path ini;
    TMeterLimits limits{1, 2, 3, 4};
    TShell shell;
    std::unique_ptr<TSettings> settings;
    headless::HeadlessBackend backend;
    std::unique_ptr<Application> app = std::make_unique<Application>(backend);
    HeadlessDriver driver{*app, backend};
    TfrmMaxImp* form = nullptr;
};

TEST_F(MaxImpTest, WithoutAFileTheCountersAndTheMeterTakeTheDefaults) {
    TfrmMaxImp& f = Create();
    EXPECT_EQ(f.Caption(), "Ustawienia impulsów");
    EXPECT_FALSE(f.Visible());
    EXPECT_EQ(f.Width(), 275);
    EXPECT_EQ(f.Height(), 80);
    EXPECT_EQ(f.cntMAXIMP_P->Value(), 1440);
    EXPECT_EQ(f.cntMAXIMP_D->Value(), 1440);
    EXPECT_EQ(f.cntMAXIMP_M->Value(), 44640);
    EXPECT_EQ(f.cntOODL->Value(), 20);
    EXPECT_EQ(limits.MAXIMP_P, 1440);
    EXPECT_EQ(limits.MAXIMP_D, 1440);
    EXPECT_EQ(limits.MAXIMP_M, 44640);
    EXPECT_EQ(limits.OODL, 20);
    EXPECT_EQ(f.lblMAXIMP_D->Hint(), "Maksymalna liczba impulsow na dzień");
    EXPECT_EQ(f.cntMAXIMP_D->Hint(), f.lblMAXIMP_D->Hint());
    EXPECT_EQ(f.cntOODL->Hint(), "Opóźnienie od wybrania numeru");
    EXPECT_FALSE(fs::exists(ini));
}

TEST_F(MaxImpTest, StoredValuesOutsideACountersRangeAreClampedForTheMeterToo) {
    WriteIni("[MAX]\nMAXIMP_P=7\nMAXIMP_D=5000\nMAXIMP_M=0x10\nOODL=-3\n");
    ASSERT_TRUE(ReplaceFileAtomically(dir / "w95bug.txt", ""));
    TfrmMaxImp& f = Create();
    EXPECT_EQ(f.cntMAXIMP_D->Value(), 1440);
    EXPECT_EQ(limits.MAXIMP_P, 7);
    EXPECT_EQ(limits.MAXIMP_D, 1440);
    EXPECT_EQ(limits.MAXIMP_M, 16);
    EXPECT_EQ(limits.OODL, 0);
    EXPECT_TRUE(f.Klawisze->AltDrawing());
    EXPECT_TRUE(f.cntOODL->AltDrawing());
}

TEST_F(MaxImpTest, CancelKeepsTheCountersWhileTheMeterAndFileKeepTheOldValues) {
    WriteIni("[MAX]\nMAXIMP_P=10\n");
    TfrmMaxImp& f = Open();
    StepUp("cntMAXIMP_P");
    StepUp("cntMAXIMP_P");
    EXPECT_EQ(f.cntMAXIMP_P->Value(), 12);
    EXPECT_EQ(limits.MAXIMP_P, 10);  // only a confirm reaches the meter
    ClickCancel();
    EXPECT_FALSE(f.Visible());

    Open();
    EXPECT_EQ(f.cntMAXIMP_P->Value(), 12);
    EXPECT_EQ(limits.MAXIMP_P, 10);
    EXPECT_EQ(TSettings(ini).ReadString("MAX", "MAXIMP_P", ""), "10");

    StepUp("cntOODL");
    ClickOk();
    EXPECT_FALSE(f.Visible());
    EXPECT_EQ(limits.MAXIMP_P, 12);
    EXPECT_EQ(limits.OODL, 21);
    const TSettings check(ini);
    EXPECT_EQ(check.ReadString("MAX", "MAXIMP_P", ""), "12");
    EXPECT_EQ(check.ReadString("MAX", "MAXIMP_D", ""), "1440");
    EXPECT_EQ(check.ReadString("MAX", "MAXIMP_M", ""), "44640");
    EXPECT_EQ(check.ReadString("MAX", "OODL", ""), "21");

    // The file is never read back during a run.
    WriteIni("[MAX]\nMAXIMP_P=99\n");
    Open();
    ClickOk();
    EXPECT_EQ(limits.MAXIMP_P, 12);
}

TEST_F(MaxImpTest, ADragOnTheBackgroundMovesOnlyThisWindowAndTheReleaseClampsIt) {
    TfrmMaxImp& f = Open();
    driver.Press("frmMaxImp", 150, 70);
    EXPECT_TRUE(shell.DragState.Dragging);
    driver.Move("frmMaxImp", 160, 65, ssLeft);
    EXPECT_EQ(f.Left(), 110);
    EXPECT_EQ(f.Top(), 95);
    driver.Move("frmMaxImp", 150 + 900, 70, ssLeft);
    EXPECT_EQ(f.Left(), 110 + 900);  // anywhere while the button is held
    driver.Release("frmMaxImp", 150, 70);
    EXPECT_FALSE(shell.DragState.Dragging);
    EXPECT_EQ(f.Left(), 1024 - 275);
    EXPECT_EQ(f.Top(), 95);

    // The right button alone grabs nothing.
    driver.Press("frmMaxImp", 150, 70, TMouseButton::mbRight);
    EXPECT_FALSE(shell.DragState.Dragging);
    driver.Move("frmMaxImp", 100, 20, ssRight);
    EXPECT_EQ(f.Left(), 1024 - 275);
    driver.Release("frmMaxImp", 100, 20, TMouseButton::mbRight);
}

TEST_F(MaxImpTest, TheMainWindowsReleaseStepEndsTheDragWhenTheProgramGivesIt) {
    TfrmMaxImp& f = Open();
    std::vector<TComponent*> released;
    f.ReleaseStep = [&](TComponent* sender) {
        released.push_back(sender);
        EXPECT_FALSE(shell.DragState.Dragging);
    };
    driver.Press("frmMaxImp", 150, 70);
    driver.Move("frmMaxImp", 150 + 900, 70, ssLeft);
    driver.Release("frmMaxImp", 150, 70);
    ASSERT_EQ(released.size(), 1u);
    EXPECT_EQ(released[0], &f);
    EXPECT_EQ(f.Left(), 100 + 900);  // the hook clamps, not the window
}

TEST_F(MaxImpTest, PaintsTheSkinAndTheDigitsOfItsCounters) {
    Open();
    const Bitmap shot = driver.Snapshot("frmMaxImp");
    ASSERT_EQ(shot.Width(), 275);
    ASSERT_EQ(shot.Height(), 80);
    EXPECT_EQ(shot.GetPixel(0, 0), kSkinFrameColor);
    EXPECT_EQ(shot.GetPixel(150, 70), kSkinFieldColor);
    // cntOODL shows 020: its first cell is the digit 0 of the shared strip.
    Bitmap zero(10, 20);
    shell.Skins.imgCyfry.Draw(zero.GetCanvas(), 0, 0, 0);
    const TControl& oodl = driver.Find("frmMaxImp.cntOODL");
    EXPECT_EQ(oodl.Width(), 40);  // three digits and the changer
    for (int x = 0; x < 10; x += 3) {
        for (int y = 0; y < 20; y += 4) {
            EXPECT_EQ(shot.GetPixel(oodl.Left() + x, oodl.Top() + y), zero.GetPixel(x, y));
        }
    }
    if (const char* out = std::getenv("TT_SNAPSHOT_DIR")) {
        driver.SavePng("frmMaxImp", (fs::path(out) / "frmMaxImp.png").string(), 4);
    }
}

}  // namespace
}  // namespace tt
