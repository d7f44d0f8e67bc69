#include "toolkit/application.h"

#include <gtest/gtest.h>

#include <thread>

#include "base/error.h"
#include "testing/toolkit_test_util.h"
#include "toolkit/menus.h"

namespace tt::testing {
namespace {

class ApplicationTest : public ToolkitTest {
  protected:
    TForm& form = MakeForm();
    TPaintBox& box = Make<TPaintBox>("box", 10, 10, 40, 20);
    TPaintBox& other = Make<TPaintBox>("other", 60, 10, 40, 20);

    TForm& MakeForm() {
        app->SetTitle("Taktomat 2000");
        TForm& f = app->CreateForm<TForm>();
        f.SetName("frmMain");
        f.SetBounds(100, 100, 200, 100);
        return f;
    }
    template <class T>
    T& Make(const std::string& name, int l, int t, int w, int h) {
        auto* c = new T(&form);
        c->SetName(name);
        c->SetParent(&form);
        c->SetBounds(l, t, w, h);
        return *c;
    }
    void SetUp() override {
        form.Show();
        app->ProcessMessages();
    }
};

TEST_F(ApplicationTest, TimersFireInOrderOnVirtualTime) {
    std::vector<std::string> ticks;
    TTimer& slow = *new TTimer(&form);
    TTimer& fast = *new TTimer(&form);
    slow.SetInterval(1000);
    fast.SetInterval(300);
    slow.OnTimer = [&](TComponent*) {
        ticks.push_back("slow@" + std::to_string(backend.MonotonicMs()));
    };
    fast.OnTimer = [&](TComponent*) {
        ticks.push_back("fast@" + std::to_string(backend.MonotonicMs()));
    };
    backend.Advance(1000);
    EXPECT_EQ(ticks, (std::vector<std::string>{"fast@300", "fast@600", "fast@900", "slow@1000"}));

    ticks.clear();
    fast.SetEnabled(false);
    slow.SetInterval(250);  // a new interval starts counting now
    backend.Advance(500);
    EXPECT_EQ(ticks, (std::vector<std::string>{"slow@1250", "slow@1500"}));

    // A handler may release its own timer.
    ticks.clear();
    slow.OnTimer = [&](TComponent* sender) {
        ticks.push_back("last");
        delete sender;
    };
    backend.Advance(1000);
    EXPECT_EQ(ticks, (std::vector<std::string>{"last"}));
    EXPECT_EQ(backend.TimerCount(), 0);
}

TEST_F(ApplicationTest, ErrorsInHandlersAreShownWithTitleIconAndFullStopAndTheProgramGoesOn) {
    std::string text;
    int after = 0;
    box.OnClick = [&](TComponent*) {
        throw Error(text);
        ++after;  // skipped: the rest of the handler does not run
    };
    other.OnClick = [&](TComponent*) { ++after; };
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Error opening rasapi.dll", "Error opening rasapi.dll."},
        {"Unable to write to C:\\taktomat.ini", "Unable to write to C:\\taktomat.ini."},
        {"Gotowe!", "Gotowe!"},                     // "!" sorts before "."
        {"Koniec.", "Koniec."},                     // no second one
        {"Wartość: 10", "Wartość: 10."},            // digits sort after "."
        {"Błąd: zły plik ż", "Błąd: zły plik ż."},  // a Polish letter's bytes sort after "."
        {"(nic)", "(nic)"},
        {"", ""}};
    for (const auto& [thrown, shown] : cases) {
        text = thrown;
        backend.Advance(1000);  // apart, or two clicks would be a double click
        driver.Click("frmMain.box", 1, 1);
        const auto& shownBox = backend.MessageBoxes().back();
        EXPECT_EQ(shownBox.text, shown);
        EXPECT_EQ(shownBox.caption, "Taktomat 2000");
        EXPECT_EQ(shownBox.flags, ui::kMbOk | ui::kMbIconError);
    }
    EXPECT_EQ(backend.MessageBoxes().size(), cases.size());
    driver.Click("frmMain.other", 1, 1);
    EXPECT_EQ(after, 1);
    // Errors from timers and from OnCreate come the same way.
    TTimer& timer = *new TTimer(&form);
    timer.OnTimer = [](TComponent*) { throw std::runtime_error("tick"); };
    backend.Advance(1000);
    EXPECT_EQ(backend.MessageBoxes().back().text, "tick.");

    driver.AnswerMessageBox("yes");
    EXPECT_EQ(app->ShowMessageBox("Podłączenie jest aktywne czy chcesz je rozłączyć ?",
                                  app->Title(), ui::kMbYesNoCancel | ui::kMbIconQuestion),
              ui::kIdYes);
    EXPECT_EQ(backend.MessageBoxes().back().flags, 35u);
}

TEST_F(ApplicationTest, WakeUpFromAnotherThreadRunsEverythingOnTheGuiThreadInOrder) {
    constexpr int kCount = 2000;
    std::vector<int> seen;
    const auto gui = std::this_thread::get_id();
    bool offThread = false;
    std::thread worker([&] {
        for (int i = 0; i < kCount; ++i) {
            app->Post([&, i] {
                seen.push_back(i);
                offThread |= std::this_thread::get_id() != gui;
            });
        }
    });
    while (static_cast<int>(seen.size()) < kCount) {
        app->ProcessMessages();
        app->WaitForMessages(1000);
    }
    worker.join();
    ASSERT_EQ(static_cast<int>(seen.size()), kCount);
    for (int i = 0; i < kCount; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], i);
    EXPECT_FALSE(offThread);
}

TEST_F(ApplicationTest, NestedLoopsKeepTimersRunningAndPostsComeOneAtATime) {
    backend.SetRealWaitLimit(0);
    TTimer& timer = *new TTimer(&form);
    timer.SetInterval(500);
    int ticks = 0;
    timer.OnTimer = [&](TComponent*) { ++ticks; };
    box.OnClick = [&](TComponent*) {
        for (;;) {  // a wait that keeps the messages flowing
            app->ProcessMessages();
            if (ticks == 3) break;
            app->WaitForMessages(100);
        }
    };
    driver.Click("frmMain.box", 1, 1);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(backend.MonotonicMs(), 1500);

    // A timer handler that waits inside Advance carries both clocks along, never back.
    bool waited = false;
    auto& waiter = *new TTimer(&form);
    waiter.SetInterval(100);
    waiter.OnTimer = [&](TComponent*) {
        if (std::exchange(waited, true)) return;
        for (int i = 0; i < 10; ++i) {
            app->ProcessMessages();
            app->WaitForMessages(100);
        }
    };
    const int64_t mono = backend.MonotonicMs();
    const TDateTime wall = backend.WallClock();
    backend.Advance(300);
    EXPECT_EQ(backend.MonotonicMs(), mono + 100 + 1000);
    EXPECT_NEAR((backend.WallClock() - wall) * kSecondsPerDay * 1000, 1100, 1e-3);
    waiter.SetEnabled(false);

    std::vector<std::string> order;
    app->Post([&] {
        order.push_back("first begins");
        app->ProcessMessages();  // the second must wait for the first to return
        order.push_back("first ends");
    });
    app->Post([&] { order.push_back("second"); });
    app->ProcessMessages();
    EXPECT_EQ(order, (std::vector<std::string>{"first begins", "first ends", "second"}));
}

TEST(TrayIcon, TheKeyColourBecomesTransparentAndNothingElseDoes) {
    Bitmap icon(2, 2);
    icon.SetPixel(0, 0, clFuchsia);
    icon.SetPixel(1, 0, clNavy);
    icon.SetPixel(0, 1, ColorRGB(255, 0, 254));  // close to the key is still a colour
    icon.SetPixel(1, 1, clBlack);
    EXPECT_EQ(TrayIconPixels(icon),
              (std::vector<uint32_t>{0, PixelFromRGB(clNavy), PixelFromRGB(ColorRGB(255, 0, 254)),
                                     PixelFromRGB(clBlack)}));
}

TEST_F(ApplicationTest, HintsStayInsideTheWorkAreaAsTheSystemTooltipsDo) {
    const TRect work{0, 0, 1024, 740};
    // Room below and to the right: below the pointer, at its left edge.
    EXPECT_EQ(HintPlace({100, 100}, {60, 17}, work), (TPoint{100, 120}));
    // At the right edge the hint moves left until it ends on the edge.
    EXPECT_EQ(HintPlace({1010, 100}, {60, 17}, work), (TPoint{1024 - 60, 120}));
    // No room below: above the pointer.
    EXPECT_EQ(HintPlace({500, 730}, {60, 30}, work), (TPoint{500, 730 - 2 - 30}));
    // Wider than the area: from its left edge.
    EXPECT_EQ(HintPlace({500, 100}, {2000, 17}, work), (TPoint{0, 120}));

    // The close button of a window in the bottom-right corner of the work area.
    form.SetBounds(1024 - 200, 740 - 100, 200, 100);
    form.SetShowHint(true);
    other.SetBounds(180, 80, 20, 20);
    other.SetHint("Zamknij");
    driver.Move("frmMain.other", 15, 15);
    backend.Advance(Application::kHintPause);
    ASSERT_TRUE(app->HintShowing());
    const auto* hint = backend.WindowInfo(app->HintWindowId());
    EXPECT_LE(hint->bounds.right, 1024);
    EXPECT_LE(hint->bounds.bottom, 740);
    EXPECT_GE(hint->bounds.left, 0);
    // Above the pointer, not under it.
    EXPECT_LT(hint->bounds.bottom, 740 - 100 + 80 + 15);
    EXPECT_EQ(hint->bounds.Width(), app->HintBuffer().Width());

    // The same corner of a second monitor to the right: the hint stays on that one.
    backend.SetMonitors(
        {{{0, 0, 1024, 768}, {0, 0, 1024, 740}}, {{1024, 0, 2048, 768}, {1024, 0, 2048, 740}}});
    app->CancelHint();
    form.SetBounds(2048 - 200, 740 - 100, 200, 100);
    driver.Move("frmMain.other", 16, 15);
    backend.Advance(Application::kHintPause);
    ASSERT_TRUE(app->HintShowing());
    hint = backend.WindowInfo(app->HintWindowId());
    EXPECT_LE(hint->bounds.right, 2048);
    EXPECT_GE(hint->bounds.left, 1024);
    EXPECT_LT(hint->bounds.bottom, 740 - 100 + 80 + 15);
}

TEST_F(ApplicationTest, HintFollowsTheControlUnderThePointerAfterTheDelay) {
    form.SetShowHint(true);
    box.SetHint("aktualny impuls");
    other.SetHint("MAX Impulsów na:\rPołączenie/Dzień/Miesiąc");
    driver.Move("frmMain.box", 5, 5);
    backend.Advance(Application::kHintPause - 1);
    EXPECT_FALSE(app->HintShowing());
    backend.Advance(1);
    ASSERT_TRUE(app->HintShowing());
    EXPECT_EQ(app->HintText(), "aktualny impuls");
    const auto* hint = backend.WindowInfo(app->HintWindowId());
    EXPECT_TRUE(hint->visible);
    EXPECT_EQ(hint->bounds.left, 100 + 10 + 5);
    EXPECT_NE(backend.ActiveWindow(), app->HintWindowId());

    driver.Move("frmMain.other", 5, 5);  // the old one goes at once
    EXPECT_FALSE(app->HintShowing());
    backend.Advance(Application::kHintShortPause);
    EXPECT_EQ(app->HintText(), "MAX Impulsów na:\rPołączenie/Dzień/Miesiąc");
    EXPECT_EQ(app->HintBuffer().Height(), 2 * MeasureText(TFont{}, "").Height + 4);  // two lines

    // A control that changes its own hint cancels the shown one; the new text comes later.
    other.SetHint("Raport połączeń");
    app->CancelHint();
    driver.Move("frmMain.other", 6, 5);
    EXPECT_FALSE(app->HintShowing());
    backend.Advance(Application::kHintPause);
    EXPECT_EQ(app->HintText(), "Raport połączeń");
    backend.Advance(Application::kHintHidePause);
    EXPECT_FALSE(app->HintShowing());

    box.SetShowHint(false);
    driver.Move("frmMain.box", 5, 5);
    backend.Advance(5000);
    EXPECT_FALSE(app->HintShowing());
}

struct LeaveCounter : TPaintBox {
    int leaves = 0;
    using TPaintBox::TPaintBox;
    void MouseLeave() override { ++leaves; }
};

TEST_F(ApplicationTest, PointerLeavingAControlIsReported) {
    auto& watched = Make<LeaveCounter>("watched", 10, 40, 40, 20);
    driver.Move("frmMain.watched", 1, 1);
    driver.Move("frmMain.watched", 2, 2);
    EXPECT_EQ(watched.leaves, 0);
    driver.Move("frmMain.box", 1, 1);
    EXPECT_EQ(watched.leaves, 1);
    driver.Move("frmMain.watched", 1, 1);
    TForm& second = app->CreateForm<TForm>();
    second.SetName("frmSecond");
    second.Show();
    driver.Move("frmSecond", 5, 5);  // out of the window altogether
    EXPECT_EQ(watched.leaves, 2);
}

struct Accelerated : TCustomControl {
    std::vector<char32_t> taken;
    using TCustomControl::TCustomControl;
    bool DialogChar(char32_t ch) override {
        if (ch != U'p') return false;
        taken.push_back(ch);
        return true;
    }
};

TEST_F(ApplicationTest, AcceleratorsReachControlsUnlessTheFocusedOneTypes) {
    auto& target = Make<Accelerated>("acc", 0, 60, 10, 10);
    auto& edit = Make<TEdit>("edit", 100, 60, 80, 18);
    auto& list = Make<TListBox>("list", 100, 80, 80, 18);
    edit.SetFocus();
    driver.Type("p");
    EXPECT_EQ(edit.Text(), "p");
    EXPECT_TRUE(target.taken.empty());
    driver.Key("Alt+P");
    EXPECT_EQ(target.taken.size(), 1u);
    list.SetFocus();
    driver.Type("p");
    EXPECT_EQ(target.taken.size(), 2u);
    EXPECT_TRUE(IsAccel(U'n', "&Nazwa"));
    EXPECT_TRUE(IsAccel(U'Ł', "Za&łącz"));
    EXPECT_FALSE(IsAccel(U'a', "Dane && &inne"));
    EXPECT_TRUE(IsAccel(U'i', "Dane && &inne"));
    EXPECT_FALSE(IsAccel(U'z', "Zamknij"));
    target.SetEnabled(false);
    driver.Key("Alt+P");
    EXPECT_EQ(target.taken.size(), 2u);
}

TEST_F(ApplicationTest, SystemMoveFollowsThePointerUntilReleaseThenReturns) {
    int done = 0;
    int ups = 0;
    form.OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int, int) {
        form.StartSystemMove([&] {
            ++done;
            EXPECT_EQ(form.Left(), 130);  // in its new place before the caller goes on
        });
    };
    form.OnMouseUp = [&](TComponent*, TMouseButton, TShiftState, int, int) { ++ups; };
    driver.Press("frmMain", 150, 50);
    driver.Move("frmMain", 170, 40);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(backend.WindowInfo(form.WindowId())->bounds.left, 120);
    driver.Move("frmMain", 180, 45);  // relative to where the window is now: screen (300, 135)
    EXPECT_EQ(backend.WindowInfo(form.WindowId())->bounds.left, 150);
    driver.Release("frmMain", 130, 50);  // screen (280, 135): 30 right of the grab, 15 up
    EXPECT_EQ(done, 1);
    EXPECT_EQ(ups, 0);
    EXPECT_EQ(form.Left(), 130);
    EXPECT_EQ(form.Top(), 85);
    EXPECT_EQ(form.Width(), 200);
    // Moving shows the same picture elsewhere: nothing is painted again.
    const int presents = backend.WindowInfo(form.WindowId())->presents;
    form.SetLeft(10);
    app->ProcessMessages();
    EXPECT_EQ(backend.WindowInfo(form.WindowId())->presents, presents);
    EXPECT_EQ(backend.WindowInfo(form.WindowId())->bounds.left, 10);
}

TEST_F(ApplicationTest, FormsShowHideKeepPlaceAndHandOnActivation) {
    TForm& second = app->CreateForm<TForm>();
    second.SetName("frmSecond");
    second.SetBounds(10, 20, 50, 60);
    int shows = 0;
    second.OnShow = [&](TComponent*) { ++shows; };
    second.Show();
    EXPECT_EQ(shows, 1);
    EXPECT_TRUE(second.Active());
    EXPECT_FALSE(form.Active());
    EXPECT_EQ(app->ActiveForm(), &second);
    second.Hide();
    app->ProcessMessages();
    EXPECT_TRUE(form.Active());
    second.Show();
    form.BringToFront();
    EXPECT_TRUE(form.Active());
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(backend.ActiveWindow(), form.WindowId());
    second.Show();  // already showing: comes to the front
    EXPECT_EQ(backend.WindowInfo(second.WindowId())->bounds, (ui::Rect{10, 20, 60, 80}));
    EXPECT_EQ(second.GetProperty("Active"), "true");
    // A style set on a shown form takes a new window, in place and with its picture.
    second.SetToolWindow(true);
    const auto* restyled = backend.WindowInfo(second.WindowId());
    ASSERT_NE(restyled, nullptr);
    EXPECT_TRUE(restyled->style.toolWindow);
    EXPECT_TRUE(restyled->visible);
    EXPECT_EQ(restyled->bounds, (ui::Rect{10, 20, 60, 80}));
    EXPECT_EQ(restyled->width, 50);
    second.Close();
    EXPECT_FALSE(app->Terminated());
    form.Close();  // the main form ends the loop
    EXPECT_TRUE(app->Terminated());
    EXPECT_FALSE(form.Visible());

    // Forms are told of their end newest first, while all of them still stand.
    std::vector<std::string> destroyed;
    form.OnDestroy = [&](TComponent*) { destroyed.push_back("main " + box.Name()); };
    second.OnDestroy = [&](TComponent*) { destroyed.push_back("second " + form.Name()); };
    app.reset();
    EXPECT_EQ(destroyed, (std::vector<std::string>{"second frmMain", "main box"}));
    EXPECT_EQ(backend.TimerCount(), 0);
}

TEST_F(ApplicationTest, TrayIconMenusCursorsAndBeeps) {
    auto& menu = *new TPopupMenu(&form);
    std::vector<std::string> chosen;
    for (const char* caption : {"&Połącz", "-", "MAX", "&Zamknij"}) {
        auto* item = new TMenuItem(&form);
        item->SetCaption(caption);
        item->OnClick = [&chosen, item](TComponent*) { chosen.push_back(item->Caption()); };
        menu.Add(*item);
    }
    std::vector<ui::TrayMouse> tray;
    app->OnTrayMouse = [&](ui::TrayMouse what, TPoint at) {
        tray.push_back(what);
        if (what == ui::TrayMouse::RightDown) menu.Popup(at.X, at.Y);
    };
    app->ShowTrayIcon("Taktomat 2000", nullptr);
    ASSERT_TRUE(backend.Tray());
    EXPECT_EQ(backend.Tray()->tip, "Taktomat 2000");
    driver.TrayClick();
    driver.TrayDblClick();
    driver.TrayMenu("Zamknij");
    EXPECT_EQ(tray, (std::vector<ui::TrayMouse>{ui::TrayMouse::LeftDown, ui::TrayMouse::LeftDown,
                                                ui::TrayMouse::LeftDoubleClick,
                                                ui::TrayMouse::RightDown}));
    EXPECT_EQ(chosen, (std::vector<std::string>{"&Zamknij"}));
    ASSERT_EQ(backend.Menus().size(), 1u);
    EXPECT_EQ(backend.Menus()[0][1].caption, "-");

    // A right click on a control with a menu opens it at the pointer.
    box.SetPopupMenu(&menu);
    backend.QueueMenuChoice("MAX");
    driver.Click("frmMain.box", 1, 1);  // left: no menu
    driver.Press("frmMain.box", 1, 1, TMouseButton::mbRight);
    driver.Release("frmMain.box", 1, 1, TMouseButton::mbRight);
    EXPECT_EQ(chosen.back(), "MAX");

    box.SetCursor(crHandPoint);
    driver.Move("frmMain.box", 2, 2);
    EXPECT_EQ(backend.CurrentCursor(), ui::Cursor::HandPoint);
    driver.Move("frmMain.other", 2, 2);
    EXPECT_EQ(backend.CurrentCursor(), ui::Cursor::Default);
    app->SetScreenCursor(crHandPoint);
    EXPECT_EQ(backend.CurrentCursor(), ui::Cursor::HandPoint);
    app->SetScreenCursor(crDefault);
    EXPECT_EQ(backend.CurrentCursor(), ui::Cursor::Default);

    app->MessageBeep(48);
    app->MessageBeep(-1);
    EXPECT_EQ(backend.Beeps(), (std::vector<int>{48, -1}));
    backend.SetScreen({0, 0, 800, 600}, {0, 0, 800, 570});
    EXPECT_EQ(app->WorkArea(), (TRect{0, 0, 800, 570}));
    EXPECT_EQ(app->ScreenHeight(), 600);
}

}  // namespace
}  // namespace tt::testing
