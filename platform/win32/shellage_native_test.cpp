// The tray icon component on the native backend: the shell's notifications come through the
// owner form's real window procedure.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "controls/Shellage.h"
#include "platform/win32/notify_icon_hook.h"
#include "platform/win32/win32_backend.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
// After the toolkit: windows.h makes macros of names that the toolkit declares.
#include <windows.h>

namespace tt {
namespace {

class NativeNotifyIconTest : public ::testing::Test {
  protected:
    win32::Win32Backend backend{"Taktomat 2000"};
    Application app{backend};
    TForm& form = app.CreateForm<TForm>();
    std::vector<std::string> events;

    HWND FormWindow() { return backend.NativeWindow(form.Handle()); }
    void Notify(unsigned id, unsigned mouse) {
        SendMessageA(FormWindow(), TNotifyIcon::CallbackMessage(), id, static_cast<LPARAM>(mouse));
    }
    void PumpFor(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            app.ProcessMessages();
            app.WaitForMessages(10);
        }
    }
};

TEST_F(NativeNotifyIconTest, TakesOverTheFormsProcedureAndGivesItBack) {
    const LONG original = GetWindowLongA(FormWindow(), GWL_WNDPROC);
    auto* icon = new TNotifyIcon(&form);  // owned by the form
    EXPECT_NE(GetWindowLongA(FormWindow(), GWL_WNDPROC), original);
    EXPECT_EQ(TNotifyIcon::CallbackMessage(), RegisterWindowMessageA("ICO.TNotifyIconMsg"));
    EXPECT_EQ(icon->ClickTimer().Interval(), static_cast<int>(GetDoubleClickTime()));
    icon->SetHint("Taktomat 2000");
    icon->SetIconVisible(true);  // the shell's answer is not looked at
    EXPECT_EQ(icon->NotifyIconData().cbSize, 88u);
    icon->SetIconVisible(false);
    delete icon;
    EXPECT_EQ(GetWindowLongA(FormWindow(), GWL_WNDPROC), original);
}

TEST_F(NativeNotifyIconTest, ClicksAndDoubleClicksFromTheShell) {
    auto* icon = new TNotifyIcon(&form);
    icon->SetEnableDblClick(false);
    icon->OnClick = [this](TComponent*) { events.push_back("click"); };
    icon->OnDblClick = [this](TComponent*) { events.push_back("dblclick"); };

    Notify(icon->IconId(), 0x201);
    EXPECT_TRUE(events.empty());  // the click waits for its timer
    PumpFor(100);
    EXPECT_EQ(events, (std::vector<std::string>{"click"}));

    // A double click: the first press's click, then the double click; its mark eats the
    // next single click.
    events.clear();
    Notify(icon->IconId(), 0x201);
    PumpFor(60);
    Notify(icon->IconId(), 0x203);
    Notify(icon->IconId(), 0x202);  // the release means nothing
    Notify(icon->IconId(), 0x201);
    PumpFor(60);
    EXPECT_EQ(events, (std::vector<std::string>{"click", "dblclick"}));

    // Another icon's notification is not ours.
    events.clear();
    Notify(icon->IconId() + 1, 0x203);
    EXPECT_TRUE(events.empty());
    delete icon;
}

}  // namespace
}  // namespace tt
