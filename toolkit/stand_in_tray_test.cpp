#include "toolkit/stand_in_tray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/toolkit_test_util.h"

namespace tt::testing {
namespace {

// The stand-in tray must behave as the Windows shell does towards the icons registered with
// it, or the tray icon control would behave differently on Linux than on Windows.
class StandInTrayTest : public ToolkitTest {
  protected:
    std::unique_ptr<ui::TrayIconHost> first = app->AttachTrayIcon(0, 0);
    std::unique_ptr<ui::TrayIconHost> second = app->AttachTrayIcon(0, 1);
    std::vector<std::string> heard;

    void SetUp() override {
        first->OnMouse = [this](ui::TrayMessage m, int x, int y) { Hear("first", m, x, y); };
        second->OnMouse = [this](ui::TrayMessage m, int x, int y) { Hear("second", m, x, y); };
    }
    void Hear(const char* who, ui::TrayMessage message, int x, int y) {
        heard.push_back(std::string(who) + " " + std::to_string(static_cast<unsigned>(message)) +
                        " " + std::to_string(x) + "," + std::to_string(y));
    }
    std::string ShownTip() const { return backend.Tray() ? backend.Tray()->tip : "(none)"; }
};

TEST_F(StandInTrayTest, FirstIconAddedIsShownAndTheNextTakesItsPlaceWhenItGoes) {
    const uint32_t red[4] = {0xFFFF0000u, 0, 0, 0xFFFF0000u};
    first->Notify(ui::TrayCall::Modify, ui::kTrayPartTip, "not added yet");
    EXPECT_EQ(ShownTip(), "(none)");
    first->SetIcon(2, 2, red);
    first->Notify(ui::TrayCall::Add, ui::kTrayPartMessage | ui::kTrayPartIcon | ui::kTrayPartTip,
                  "pierwsza");
    second->Notify(ui::TrayCall::Add, ui::kTrayPartTip, "druga");
    EXPECT_EQ(ShownTip(), "pierwsza");
    ASSERT_EQ(backend.Tray()->pixels.size(), 4u);
    EXPECT_EQ(backend.Tray()->pixels[3], 0xFFFF0000u);

    // A second add is refused: the tip it carries is not taken.
    first->Notify(ui::TrayCall::Add, ui::kTrayPartTip, "again");
    EXPECT_EQ(ShownTip(), "pierwsza");

    // A picture staged without the icon flag waits for a call that carries it.
    first->SetIcon(0, 0, nullptr);
    first->Notify(ui::TrayCall::Modify, ui::kTrayPartTip, "nowa");
    EXPECT_EQ(ShownTip(), "nowa");
    EXPECT_EQ(backend.Tray()->pixels.size(), 4u);
    first->Notify(ui::TrayCall::Modify, ui::kTrayPartIcon, "ignored");
    EXPECT_TRUE(backend.Tray()->pixels.empty());
    EXPECT_EQ(ShownTip(), "nowa");
    // The icon behind the shown one keeps its new tip for when it comes forward.
    second->Notify(ui::TrayCall::Modify, ui::kTrayPartTip, "druga nowa");
    EXPECT_EQ(ShownTip(), "nowa");

    first->Notify(ui::TrayCall::Delete, 0, "");
    EXPECT_EQ(ShownTip(), "druga nowa");
    first->Notify(ui::TrayCall::Delete, 0, "");  // not added: nothing happens
    EXPECT_EQ(ShownTip(), "druga nowa");
    second.reset();  // released while added: the tray forgets it
    EXPECT_EQ(ShownTip(), "(none)");
    backend.TrayInput(ui::TrayMouse::LeftDown, 5, 5);
    EXPECT_TRUE(heard.empty());
}

TEST_F(StandInTrayTest, InputReachesTheShownIconAsTheShellsPointerMessages) {
    EXPECT_EQ(first->CallbackMessage(), second->CallbackMessage());
    EXPECT_EQ(first->DoubleClickTime(), backend.DoubleClickTime());
    second->Notify(ui::TrayCall::Add, ui::kTrayPartTip, "druga");
    first->Notify(ui::TrayCall::Add, ui::kTrayPartTip, "pierwsza");
    backend.TrayInput(ui::TrayMouse::LeftDown, 980, 750);
    backend.TrayInput(ui::TrayMouse::LeftDoubleClick, 981, 751);
    backend.TrayInput(ui::TrayMouse::RightDown, 982, 752);
    second->Notify(ui::TrayCall::Delete, 0, "");
    backend.TrayInput(ui::TrayMouse::RightDown, 10, 20);
    EXPECT_EQ(heard, (std::vector<std::string>{"second 513 980,750", "second 515 981,751",
                                               "second 516 982,752", "first 516 10,20"}));
}

}  // namespace
}  // namespace tt::testing
