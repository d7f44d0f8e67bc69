#include "controls/Progress.h"

#include <gtest/gtest.h>

#include "toolkit/toolkit_test_util.h"

namespace tt::testing {
namespace {

TEST(ProgressTest, IsAGaugeThatTakesClicks) {
    headless::HeadlessBackend backend;
    Application app(backend);
    HeadlessDriver driver(app, backend);
    TForm& form = app.CreateForm<TForm>();
    form.SetName("frmTaktomat");
    form.SetBounds(0, 0, 200, 60);
    auto* mdProgress = new TProgress(&form);
    mdProgress->SetName("mdProgress");
    mdProgress->SetParent(&form);
    mdProgress->SetBounds(8, 27, 153, 9);
    mdProgress->SetCursor(crHandPoint);
    int clicks = 0;
    std::vector<std::string> mouse;
    mdProgress->OnClick = [&](TComponent* sender) {
        EXPECT_EQ(sender, mdProgress);
        ++clicks;
    };
    mdProgress->OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int x, int y) {
        mouse.push_back("down " + std::to_string(x) + "," + std::to_string(y));
    };
    mdProgress->OnMouseUp = [&](TComponent*, TMouseButton, TShiftState, int x, int y) {
        mouse.push_back("up " + std::to_string(x) + "," + std::to_string(y));
    };
    form.Show();
    driver.Click("frmTaktomat.mdProgress", 5, 4);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(mouse, (std::vector<std::string>{"down 5,4", "up 5,4"}));
    // A press that leaves the gauge before the release is no click.
    driver.Press("frmTaktomat.mdProgress", 5, 4);
    driver.Release("frmTaktomat", 100, 50);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(mdProgress->GetProperty("MaxValue"), "100");
}

}  // namespace
}  // namespace tt::testing
