#include "platform/win32/notify_icon_hook.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "platform/win32/win32_backend.h"

namespace tt::win32 {
namespace {

struct ClosingSink : ui::EventSink {
    int closes = 0;
    void HandleEvent(const ui::Event& e) override {
        closes += e.kind == ui::EventKind::CloseRequest;
    }
    void ProcessMessages() override {}
};

class NotifyIconHookTest : public ::testing::Test {
  protected:
    NotifyIconHookTest() {
        backend.SetEventSink(&sink);
        form = backend.NativeWindow(backend.CreateTopWindow({}, "owner"));
        original = GetWindowLongA(form, GWL_WNDPROC);
    }
    Win32Backend backend;
    ClosingSink sink;
    HWND form = nullptr;
    LONG original = 0;
};

TEST_F(NotifyIconHookTest, CallbackMessageIsRegisteredByNameAndDefaultIconIsTheLogo) {
    EXPECT_EQ(NotifyIconHook::CallbackMessage(), RegisterWindowMessageA("ICO.TNotifyIconMsg"));
    EXPECT_GE(NotifyIconHook::CallbackMessage(), 0xC000u);
    NotifyIconHook hook(0);
    EXPECT_EQ(hook.DefaultIcon(), LoadIconA(nullptr, MAKEINTRESOURCEA(32517)));
    EXPECT_NE(hook.DefaultIcon(), nullptr);
}

TEST_F(NotifyIconHookTest, OwnNotificationsAreTakenEverythingElseReachesTheForm) {
    std::vector<unsigned> seen;
    {
        NotifyIconHook hook(0);
        hook.OnMouse = [&](unsigned m) { seen.push_back(m); };
        ASSERT_TRUE(hook.Attach(form));
        EXPECT_NE(GetWindowLongA(form, GWL_WNDPROC), original);

        const UINT cb = NotifyIconHook::CallbackMessage();
        EXPECT_EQ(SendMessageA(form, cb, 0, WM_LBUTTONDOWN), 0);
        SendMessageA(form, cb, 0, WM_RBUTTONDOWN);
        SendMessageA(form, cb, 5, WM_LBUTTONDBLCLK);  // another icon's
        EXPECT_EQ(seen, (std::vector<unsigned>{WM_LBUTTONDOWN, WM_RBUTTONDOWN}));

        // The form's own behaviour goes on: a close request still reaches the program.
        SendMessageA(form, WM_CLOSE, 0, 0);
        backend.DispatchPending();
        EXPECT_EQ(sink.closes, 1);
    }
    EXPECT_EQ(GetWindowLongA(form, GWL_WNDPROC), original);
    SendMessageA(form, NotifyIconHook::CallbackMessage(), 0, WM_LBUTTONDOWN);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(NotifyIconHookTest, TwoIconsOnOneFormChainTheirProcedures) {
    std::vector<int> seen;
    auto first = std::make_unique<NotifyIconHook>(0);
    auto second = std::make_unique<NotifyIconHook>(1);
    first->OnMouse = [&](unsigned) { seen.push_back(0); };
    second->OnMouse = [&](unsigned) { seen.push_back(1); };
    ASSERT_TRUE(first->Attach(form));
    const LONG afterFirst = GetWindowLongA(form, GWL_WNDPROC);
    ASSERT_TRUE(second->Attach(form));
    // Icon 0's notification passes the last-installed procedure on to icon 0's.
    SendMessageA(form, NotifyIconHook::CallbackMessage(), 0, WM_LBUTTONDOWN);
    SendMessageA(form, NotifyIconHook::CallbackMessage(), 1, WM_LBUTTONDOWN);
    EXPECT_EQ(seen, (std::vector<int>{0, 1}));
    second.reset();
    EXPECT_EQ(GetWindowLongA(form, GWL_WNDPROC), afterFirst);
    first.reset();
    EXPECT_EQ(GetWindowLongA(form, GWL_WNDPROC), original);
}

TEST_F(NotifyIconHookTest, AnOlderIconReleasedFirstLeavesTheNewerOneAndTheFormWorking) {
    std::vector<int> seen;
    auto first = std::make_unique<NotifyIconHook>(0);
    auto second = std::make_unique<NotifyIconHook>(1);
    first->OnMouse = [&](unsigned) { seen.push_back(0); };
    second->OnMouse = [&](unsigned) { seen.push_back(1); };
    ASSERT_TRUE(first->Attach(form));
    ASSERT_TRUE(second->Attach(form));
    first.reset();
    SendMessageA(form, NotifyIconHook::CallbackMessage(), 1, WM_LBUTTONDOWN);
    SendMessageA(form, NotifyIconHook::CallbackMessage(), 0, WM_LBUTTONDOWN);
    EXPECT_EQ(seen, (std::vector<int>{1}));
    SendMessageA(form, WM_CLOSE, 0, 0);
    backend.DispatchPending();
    EXPECT_EQ(sink.closes, 1);
    second.reset();
    EXPECT_EQ(GetWindowLongA(form, GWL_WNDPROC), original);
    // Every place is free again: as many hooks as ever fit once more.
    std::vector<std::unique_ptr<NotifyIconHook>> many;
    for (int i = 0; i < 16; ++i) {
        many.push_back(std::make_unique<NotifyIconHook>(static_cast<unsigned>(i)));
        EXPECT_TRUE(many.back()->Attach(form)) << i;
    }
    NotifyIconHook oneTooMany(99);
    EXPECT_FALSE(oneTooMany.Attach(form));
    while (!many.empty()) many.pop_back();
    EXPECT_EQ(GetWindowLongA(form, GWL_WNDPROC), original);
}

// A shell that starts again (Explorer after a crash) knows no icon: a shown one is added again,
// a hidden one stays out. Balloons only for an icon that is in the notification area.
TEST_F(NotifyIconHookTest, AShownIconComesBackWhenTheShellStartsAgain) {
    NotifyIconHook hook(0);
    ASSERT_TRUE(hook.Attach(form));
    const UINT restarted = RegisterWindowMessageA("TaskbarCreated");
    const unsigned all =
        NotifyIconHook::kFlagMessage | NotifyIconHook::kFlagIcon | NotifyIconHook::kFlagTip;
    SendMessageA(form, restarted, 0, 0);
    EXPECT_EQ(hook.Adds(), 0);
    EXPECT_FALSE(hook.Balloon("Połączenie zakończone", "Koszt: 0,87 zł"));
    hook.Notify(NotifyIconHook::kAdd, all, "Taktomat 2000");
    SendMessageA(form, restarted, 0, 0);
    EXPECT_EQ(hook.Adds(), 2);
    hook.Notify(NotifyIconHook::kDelete, all, "Taktomat 2000");
    SendMessageA(form, restarted, 0, 0);
    EXPECT_EQ(hook.Adds(), 2);
}

TEST_F(NotifyIconHookTest, NoWindowNoTakeover) {
    NotifyIconHook hook(0);
    EXPECT_FALSE(hook.Attach(nullptr));
    HWND dead = backend.NativeWindow(backend.CreateTopWindow({}, "gone"));
    DestroyWindow(dead);
    EXPECT_FALSE(hook.Attach(dead));
    EXPECT_FALSE(hook.Hooked());
    // A failed takeover leaves its place free for the next icon.
    EXPECT_TRUE(hook.Attach(form));
}

}  // namespace
}  // namespace tt::win32
