#include "windows/u_maximp.h"

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

class MaxImpTest : public ::testing::Test {
  protected:
    MaxImpTest() {
        fs::create_directories(dir);
        kit.Skins.Fill();
    }
    ~MaxImpTest() override {
        app.reset();
        fs::remove_all(dir);
    }
    void WriteIni(const std::string& text) { ASSERT_TRUE(ReplaceFileAtomically(ini, text)); }
    std::string Stored() const {
        const TSettings s(ini);
        std::string all;
        for (const char* key : {"MAXIMP_P", "MAXIMP_D", "MAXIMP_M", "OODL"}) {
            all += s.ReadString("MAX", key, "-") + " ";
        }
        return all;
    }
    std::string Limits() const {
        return std::to_string(limits.MAXIMP_P) + " " + std::to_string(limits.MAXIMP_D) + " " +
               std::to_string(limits.MAXIMP_M) + " " + std::to_string(limits.OODL) + " ";
    }
    TfrmMaxImp& Create() {
        settings = std::make_unique<TSettings>(ini);
        form = &app->CreateForm<TfrmMaxImp>(kit, *settings, limits, dir);
        return *form;
    }
    TfrmMaxImp& Open() {
        TfrmMaxImp& f = form ? *form : Create();
        f.SetBounds(100, 100, f.Width(), f.Height());
        f.Show();
        app->ProcessMessages();
        return f;
    }
    void StepUp(const char* counter) {
        const std::string path = std::string("frmMaxImp.") + counter;
        const int x = driver.Find(path).Width() - 5;  // the upper half of the changer
        driver.Press(path, x, 3);
        driver.Release(path, x, 3);
    }
    void Button(int index) {
        backend.Advance(1000);  // never the second half of a double click
        driver.Click("frmMaxImp.Klawisze", 35 * index + 10, 10);
    }

    fs::path dir = fs::temp_directory_path() /
                   ("tt_maximp_" + std::to_string(getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path ini = dir / "taktomat.ini";
    TMeterLimits limits{1, 2, 3, 4};
    TWindowKit kit;
    std::unique_ptr<TSettings> settings;
    headless::HeadlessBackend backend;
    std::unique_ptr<Application> app = std::make_unique<Application>(backend);
    HeadlessDriver driver{*app, backend};
    TfrmMaxImp* form = nullptr;
};

TEST_F(MaxImpTest, CreationFillsTheCountersAndTheMeterWithClampedValues) {
    TfrmMaxImp& f = Create();
    EXPECT_EQ(f.BoundsRect(), (TRect{0, 0, 275, 80}));
    EXPECT_EQ(Limits(), "1440 1440 44640 20 ");
    EXPECT_EQ(f.cntMAXIMP_M->Value(), 44640);
    EXPECT_FALSE(f.Klawisze->AltDrawing());
    EXPECT_FALSE(fs::exists(ini));

    WriteIni("[MAX]\nMAXIMP_P=7\nMAXIMP_D=5000\nMAXIMP_M=0x10\nOODL=-3\n");
    ASSERT_TRUE(ReplaceFileAtomically(dir / "w95bug.txt", ""));
    app.reset();
    app = std::make_unique<Application>(backend);
    TfrmMaxImp& g = Create();
    EXPECT_EQ(g.cntMAXIMP_D->Value(), 1440);
    EXPECT_EQ(Limits(), "7 1440 16 0 ");
    EXPECT_TRUE(g.Klawisze->AltDrawing());
    EXPECT_TRUE(g.cntOODL->AltDrawing());
}

TEST_F(MaxImpTest, CancelKeepsTheCountersWhileOnlyAConfirmReachesTheMeterAndTheFile) {
    WriteIni("[MAX]\nMAXIMP_P=10\n");
    TfrmMaxImp& f = Open();
    StepUp("cntMAXIMP_P");
    StepUp("cntMAXIMP_P");
    Button(1);
    EXPECT_FALSE(f.Visible());
    Open();
    EXPECT_EQ(f.cntMAXIMP_P->Value(), 12);
    EXPECT_EQ(Limits(), "10 1440 44640 20 ");
    EXPECT_EQ(Stored(), "10 - - - ");

    StepUp("cntOODL");
    Button(0);
    EXPECT_FALSE(f.Visible());
    EXPECT_EQ(Limits(), "12 1440 44640 21 ");
    EXPECT_EQ(Stored(), "12 1440 44640 21 ");

    WriteIni("[MAX]\nMAXIMP_P=99\n");  // never read back during a run
    Open();
    Button(0);
    EXPECT_EQ(limits.MAXIMP_P, 12);
}

TEST_F(MaxImpTest, AFileThatCannotBeWrittenIsReportedAndTheWindowStaysOpen) {
    TfrmMaxImp& f = Open();
    fs::create_directories(ini);  // a folder where the file should be
    StepUp("cntMAXIMP_D");        // at its maximum: stays 1440
    StepUp("cntOODL");
    Button(0);
    ASSERT_EQ(backend.MessageBoxes().size(), 1u);
    EXPECT_EQ(backend.MessageBoxes()[0].text, "Unable to write to " + FullPathText(ini) + ".");
    EXPECT_TRUE(f.Visible());
    EXPECT_EQ(Limits(), "1440 1440 44640 21 ");  // the meter has them before the file
}

TEST_F(MaxImpTest, ALeftDragMovesOnlyThisWindowAndEndsInTheMainWindowsReleaseStep) {
    TfrmMaxImp& f = Open();
    driver.Press("frmMaxImp", 150, 70, TMouseButton::mbRight);  // the right button grabs nothing
    driver.Move("frmMaxImp", 100, 20, ssRight);
    driver.Release("frmMaxImp", 100, 20, TMouseButton::mbRight);
    EXPECT_EQ(f.Left(), 100);

    driver.Press("frmMaxImp", 150, 70);
    driver.Move("frmMaxImp", 160, 65, ssLeft);
    EXPECT_EQ(f.BoundsRect(), (TRect{110, 95, 385, 175}));
    driver.Move("frmMaxImp", 150 + 900, 70, ssLeft);  // anywhere while the button is held
    driver.Release("frmMaxImp", 150, 70);
    EXPECT_FALSE(kit.DragState.Dragging);
    EXPECT_EQ(f.BoundsRect(), (TRect{1024 - 275, 95, 1024, 175}));

    std::vector<TForm*> released;
    f.ReleaseStep = [&](TForm& window) {
        EXPECT_FALSE(kit.DragState.Dragging);
        released.push_back(&window);
    };
    driver.Press("frmMaxImp", 150, 70);
    driver.Move("frmMaxImp", 250, 70, ssLeft);
    driver.Release("frmMaxImp", 250, 70);
    EXPECT_EQ(released, std::vector<TForm*>{&f});
    EXPECT_EQ(f.Left(), 1024 - 275 + 100);  // the main window's step is the one that clamps
}

TEST_F(MaxImpTest, PaintsTheSkinAndTheSharedDigits) {
    Open();
    const Bitmap shot = driver.Snapshot("frmMaxImp");
    EXPECT_EQ(shot.GetPixel(0, 0), kSkinFrameColor);
    EXPECT_EQ(shot.GetPixel(150, 70), kSkinFieldColor);
    const TControl& oodl = driver.Find("frmMaxImp.cntOODL");
    EXPECT_EQ(oodl.Width(), 40);  // 020 and the changer
    Bitmap zero(10, 20);
    kit.Skins.imgCyfry.Draw(zero.GetCanvas(), 0, 0, 0);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(shot.GetPixel(oodl.Left() + x, oodl.Top() + 10), zero.GetPixel(x, 10));
    }
    if (const char* out = std::getenv("TT_SNAPSHOT_DIR")) {
        driver.SavePng("frmMaxImp", (fs::path(out) / "frmMaxImp.png").string(), 4);
    }
}

}  // namespace
}  // namespace tt
