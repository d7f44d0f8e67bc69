#include "toolkit/component.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "testing/toolkit_test_util.h"

namespace tt::testing {
namespace {

struct Tracked : TComponent {
    std::vector<std::string>& gone;
    Tracked(TComponent* owner, const std::string& name, std::vector<std::string>& g)
        : TComponent(owner), gone(g) {
        SetName(name);
    }
    ~Tracked() override { gone.push_back(Name()); }
};

TEST(Component, OwnerReleasesWhatItOwnsNewestFirstAndForgetsWhatWentEarlier) {
    std::vector<std::string> gone;
    {
        TComponent owner(nullptr);
        new Tracked(&owner, "a", gone);
        auto* b = new Tracked(&owner, "b", gone);
        new Tracked(b, "b.child", gone);
        new Tracked(&owner, "c", gone);
        EXPECT_EQ(owner.ComponentCount(), 3);
        EXPECT_EQ(owner.FindComponent("b"), b);
        delete b;  // leaves its owner's list, taking its own with it
        EXPECT_EQ(owner.ComponentCount(), 2);
        EXPECT_EQ(owner.FindComponent("b"), nullptr);
    }
    EXPECT_EQ(gone, (std::vector<std::string>{"b", "b.child", "c", "a"}));
}

class Properties : public ToolkitTest {};

TEST_F(Properties, ReadAndWriteByNameAsText) {
    TForm& form = app->CreateForm<TForm>();
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetName("lblCzasPol");
    label->SetCaption("00:00:00");
    label->SetTag(3);
    EXPECT_EQ(label->GetProperty("Caption"), "00:00:00");
    EXPECT_EQ(label->GetProperty("Tag"), "3");
    EXPECT_EQ(label->GetProperty("Visible"), "true");
    EXPECT_EQ(label->GetProperty("Transparent"), "false");
    label->SetColor(ColorRGB(255, 255, 128));
    EXPECT_EQ(label->GetProperty("Color"), "8454143");  // 0x80FFFF in decimal
    label->SetProperty("Visible", "false");
    EXPECT_FALSE(label->Visible());
    label->SetProperty("Left", "-4");
    EXPECT_EQ(label->Left(), -4);
    label->SetProperty("Caption", "Impulsy: 0");
    EXPECT_EQ(label->Caption(), "Impulsy: 0");

    EXPECT_THROW(label->GetProperty("Nonsense"), Error);
    EXPECT_THROW(label->SetProperty("Visible", "yes"), Error);
    EXPECT_THROW(label->SetProperty("Left", "12px"), Error);
    EXPECT_THROW(label->SetProperty("Left", ""), Error);
    auto* edit = new TEdit(&form);
    EXPECT_THROW(edit->SetProperty("Focused", "true"), Error);  // read-only
    EXPECT_EQ(edit->GetProperty("Focused"), "false");

    // By path, the way a scenario names them, visual or not.
    form.SetName("frmMain");
    auto* timer = new TTimer(&form);
    timer->SetName("Zegar");
    driver.SetProperty("frmMain.Zegar", "Interval", "250");
    EXPECT_EQ(timer->Interval(), 250);
    EXPECT_EQ(driver.Property("frmMain.Zegar", "Enabled"), "true");
    EXPECT_EQ(driver.Property("frmMain.lblCzasPol", "Tag"), "3");
    EXPECT_THROW(driver.Property("frmMain.Nothing", "Tag"), Error);
    EXPECT_THROW(driver.Property("frmOther.Zegar", "Tag"), Error);
    EXPECT_THROW(driver.Click("frmMain.lblCzasPol", 1, 1), Error);  // the form is hidden
    EXPECT_THROW(driver.AnswerMessageBox("maybe"), Error);
}

}  // namespace
}  // namespace tt::testing
