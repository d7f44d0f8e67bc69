#include "controls/Shellage.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "testing/toolkit_test_util.h"

namespace tt::testing {
namespace {

// Notes what reaches the window system, in order.
class RecordingBackend : public headless::HeadlessBackend {
  public:
    std::vector<std::string> log;
    int trayCalls = 0;
    int wholeIcons = 0;  // calls that hand the picture over again

    void Activate(int window) override {
        log.push_back("activate " + std::to_string(window));
        HeadlessBackend::Activate(window);
    }
    int TrackPopupMenu(const std::vector<ui::MenuEntry>& entries, int x, int y) override {
        log.push_back("menu at " + std::to_string(x) + "," + std::to_string(y));
        return HeadlessBackend::TrackPopupMenu(entries, x, y);
    }
    void ShowTrayIcon(const ui::TrayIcon& icon) override {
        ++trayCalls;
        ++wholeIcons;
        HeadlessBackend::ShowTrayIcon(icon);
    }
    void SetTrayTip(const std::string& tip) override {
        ++trayCalls;
        HeadlessBackend::SetTrayTip(tip);
    }
    void HideTrayIcon() override {
        ++trayCalls;
        HeadlessBackend::HideTrayIcon();
    }
};

class NotifyIconTest : public ::testing::Test {
  protected:
    RecordingBackend backend;
    std::unique_ptr<Application> app = std::make_unique<Application>(backend);
    HeadlessDriver driver{*app, backend};
    TForm& form = app->CreateForm<TForm>();
    TNotifyIcon* nIcon = new TNotifyIcon(&form);
    std::vector<std::string> events;

    void SetUp() override {
        form.SetName("frmTaktomat");
        nIcon->SetHint("Taktomat 2000");
        Watch(*nIcon, "");
    }
    void Watch(TNotifyIcon& icon, const std::string& name) {
        icon.OnClick = [this, name](TComponent*) { events.push_back("click" + name); };
        icon.OnDblClick = [this, name](TComponent*) { events.push_back("dblclick" + name); };
    }
    void Press() { driver.TrayClick(); }
    void DoubleClick() { backend.TrayInput(ui::TrayMouse::LeftDoubleClick, 984, 758); }
};

TEST_F(NotifyIconTest, OwnerMustBeAForm) {
    TLabel* label = new TLabel(&form);
    try {
        TNotifyIcon icon(label);
        FAIL() << "accepted a label as owner";
    } catch (const ENotifyIconError& e) {
        EXPECT_STREQ(e.what(), "Właściciel komponentu musi być formularzem");
    }
    EXPECT_THROW(TNotifyIcon(nullptr), ENotifyIconError);
}

TEST_F(NotifyIconTest, ShowsUpdatesAndRemovesTheIconWithItsTip) {
    EXPECT_FALSE(backend.Tray());
    nIcon->SetIconVisible(true);
    ASSERT_TRUE(backend.Tray());
    EXPECT_EQ(backend.Tray()->tip, "Taktomat 2000");
    EXPECT_TRUE(backend.Tray()->pixels.empty());  // no icon of its own: the system's logo

    const int calls = backend.trayCalls;
    nIcon->SetHint("Taktomat 2000");
    nIcon->SetIconVisible(true);
    EXPECT_EQ(backend.trayCalls, calls);

    Bitmap icon(32, 32);
    icon.SetPixel(3, 4, clRed);
    nIcon->SetIcon(icon);
    EXPECT_EQ(backend.Tray()->pixels.size(), 32u * 32u);
    EXPECT_EQ(backend.Tray()->pixels[4 * 32 + 3], PixelFromRGB(clRed));

    // 70 letters of two bytes each: cut to 63 letters, never inside one.
    std::string longTip;
    for (int i = 0; i < 70; ++i) longTip += "ż";
    const int pictures = backend.wholeIcons;
    nIcon->SetHint(longTip);
    EXPECT_EQ(backend.Tray()->tip, longTip.substr(0, 126));
    EXPECT_EQ(backend.wholeIcons, pictures);  // a new tip alone leaves the picture where it is
    EXPECT_EQ(backend.Tray()->pixels[4 * 32 + 3], PixelFromRGB(clRed));

    nIcon->SetIconVisible(false);
    EXPECT_FALSE(backend.Tray());
    nIcon->SetHint("ukryta");  // nothing shown, nothing to tell the shell
    EXPECT_FALSE(backend.Tray());
    nIcon->SetIconVisible(true);
    EXPECT_EQ(backend.Tray()->tip, "ukryta");
    delete nIcon;
    EXPECT_FALSE(backend.Tray());
}

TEST_F(NotifyIconTest, SingleClickWaitsTheDoubleClickTime) {
    nIcon->SetIconVisible(true);
    EXPECT_EQ(nIcon->ClickTimer().Interval(), backend.DoubleClickTime());
    EXPECT_FALSE(nIcon->ClickTimer().Enabled());
    Press();
    backend.Advance(300);
    Press();  // a running wait is not started again
    backend.Advance(199);
    EXPECT_TRUE(events.empty());
    backend.Advance(1);
    EXPECT_EQ(events, (std::vector<std::string>{"click"}));
    backend.Advance(1000);
    EXPECT_EQ(events.size(), 1u);

    events.clear();
    driver.TrayDblClick();
    backend.Advance(1000);
    EXPECT_EQ(events, (std::vector<std::string>{"dblclick"}));
    EXPECT_FALSE(nIcon->DoubleClickSeen());
}

TEST_F(NotifyIconTest, WithoutDoubleClicksTheMarkSwallowsTheNextClick) {
    nIcon->SetEnableDblClick(false);
    EXPECT_EQ(nIcon->ClickTimer().Interval(), 10);
    nIcon->SetIconVisible(true);
    Press();
    backend.Advance(9);
    EXPECT_TRUE(events.empty());
    backend.Advance(1);
    EXPECT_EQ(events, (std::vector<std::string>{"click"}));
    backend.Advance(100);
    DoubleClick();
    EXPECT_EQ(events, (std::vector<std::string>{"click", "dblclick"}));
    EXPECT_TRUE(nIcon->DoubleClickSeen());
    Press();
    backend.Advance(10);  // consumed by the mark
    EXPECT_EQ(events.size(), 2u);
    EXPECT_FALSE(nIcon->DoubleClickSeen());
    Press();
    backend.Advance(10);
    EXPECT_EQ(events, (std::vector<std::string>{"click", "dblclick", "click"}));
}

TEST_F(NotifyIconTest, RightPressBringsTheOwnerForwardThenShowsTheMenuAtThePointer) {
    auto* PopupMenu1 = new TPopupMenu(&form);
    auto* item = new TMenuItem(&form);
    item->SetCaption("&Zamknij");
    int chosen = 0;
    item->OnClick = [&](TComponent*) { ++chosen; };
    PopupMenu1->Add(*item);
    nIcon->SetPopupMenu(PopupMenu1);
    nIcon->SetBringToFront(true);
    nIcon->SetIconVisible(true);
    form.Show();
    backend.log.clear();

    driver.TrayMenu("Zamknij");
    const std::string activate = "activate " + std::to_string(form.WindowId());
    EXPECT_EQ(backend.log, (std::vector<std::string>{activate, "menu at 984,758"}));
    EXPECT_EQ(chosen, 1);

    backend.log.clear();
    nIcon->SetPopupMenu(nullptr);
    driver.TrayMenu("Zamknij");
    EXPECT_EQ(backend.log, (std::vector<std::string>{activate}));

    // A click and a double click bring it forward too, before their events.
    backend.log.clear();
    nIcon->OnClick = [&](TComponent*) { backend.log.push_back("click"); };
    nIcon->OnDblClick = [&](TComponent*) { backend.log.push_back("dblclick"); };
    driver.TrayDblClick();
    backend.Advance(500);
    EXPECT_EQ(backend.log, (std::vector<std::string>{activate, "dblclick", activate}));
}

TEST_F(NotifyIconTest, IconsOnOneFormKeepTheirOwnNotifications) {
    auto* second = new TNotifyIcon(&form);
    Watch(*second, "2");
    EXPECT_EQ(second->IconId(), nIcon->IconId() + 1);
    EXPECT_EQ(second->CallbackMessage(), nIcon->CallbackMessage());
    nIcon->SetIconVisible(true);
    second->SetHint("drugi");
    second->SetIconVisible(true);

    // The shown icon is the first; its notification passes the newer icon's procedure.
    Press();
    backend.Advance(500);
    EXPECT_EQ(events, (std::vector<std::string>{"click"}));

    // Released out of order, the first icon must not take the second one down with it.
    delete nIcon;
    EXPECT_EQ(backend.Tray()->tip, "drugi");
    events.clear();
    Press();
    backend.Advance(500);
    EXPECT_EQ(events, (std::vector<std::string>{"click2"}));

    // Messages for an identifier nobody has go to the form's own procedure.
    TMessage stray{TNotifyIcon::CallbackMessage(), second->IconId() + 100,
                   static_cast<std::intptr_t>(ui::TrayMessage::LeftDown), 0};
    EXPECT_FALSE(second->WndProc(stray));
    TMessage other{0x0200, second->IconId(), 0, 0};
    EXPECT_FALSE(second->WndProc(other));
}

TEST_F(NotifyIconTest, HideTaskKeepsTheFormsOffTheTaskbarAndPublishesItsState) {
    nIcon->SetHideTask(true);
    EXPECT_TRUE(form.ToolWindow());
    form.Show();
    EXPECT_TRUE(backend.WindowInfo(form.WindowId())->style.toolWindow);
    nIcon->SetProperty("IconVisible", "true");
    EXPECT_TRUE(backend.Tray());
    EXPECT_EQ(nIcon->GetProperty("HideTask"), "true");
}

}  // namespace
}  // namespace tt::testing
