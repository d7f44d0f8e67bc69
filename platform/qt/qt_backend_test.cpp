#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <chrono>
#include <string>
#include <thread>

#include "testing/qt_test_util.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/stdctrls.h"

namespace tt::qt {
namespace {

using testing::QtTest;

void Send(QWindow* window, QEvent::Type type, QPoint local, Qt::MouseButton button,
          Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(local), QPointF(window->position() + local), button, buttons,
                      modifiers);
    QCoreApplication::sendEvent(window, &event);
}

void Key(QWindow* window, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(window, &event);
}

std::vector<ui::Event> OfKind(const std::vector<ui::Event>& events, ui::EventKind kind) {
    std::vector<ui::Event> out;
    for (const auto& e : events) {
        if (e.kind == kind) out.push_back(e);
    }
    return out;
}

TEST_F(QtTest, WindowsGetTheirKindAndPlace) {
    const int plain = backend->CreateTopWindow({}, "Próbka");
    const int top = backend->CreateTopWindow({.topmost = true, .toolWindow = true}, "");
    const int popup = backend->CreateTopWindow({.popup = true}, "");
    QWindow* w = backend->NativeWindow(plain);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->title(), QString::fromUtf8("Próbka"));
    EXPECT_TRUE(w->flags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(w->flags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w->type(), Qt::Window);
    EXPECT_TRUE(backend->NativeWindow(top)->flags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(backend->NativeWindow(top)->type(), Qt::Tool);
    EXPECT_EQ(backend->NativeWindow(popup)->type(), Qt::ToolTip);
    EXPECT_TRUE(backend->NativeWindow(popup)->flags() & Qt::WindowDoesNotAcceptFocus);

    backend->SetBounds(plain, {100, 50, 300, 80});
    EXPECT_EQ(w->geometry(), QRect(100, 50, 200, 30));
    backend->ShowWindow(plain, true, false);
    EXPECT_TRUE(w->isVisible());
    backend->ShowWindow(plain, false, false);
    EXPECT_FALSE(w->isVisible());

    backend->DestroyWindow(plain);
    EXPECT_EQ(backend->NativeWindow(plain), nullptr);
    backend->DestroyWindow(plain);  // twice is harmless
}

TEST_F(QtTest, PresentShowsOnlyTheDirtyRectangle) {
    const int id = backend->CreateTopWindow({}, "");
    backend->SetBounds(id, {0, 0, 8, 4});
    backend->ShowWindow(id, true, false);
    std::vector<uint32_t> pixels(32, 0xFF0000FFu);  // blue
    backend->Present(id, pixels.data(), 8, 4, {0, 0, 8, 4});
    std::fill(pixels.begin(), pixels.end(), 0xFFFF0000u);  // red, but only a corner is dirty
    backend->Present(id, pixels.data(), 8, 4, {2, 1, 4, 3});
    backend->DispatchPending();
    QWindow* w = backend->NativeWindow(id);
    const QImage shot =
        w->screen()->grabWindow(w->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_GE(shot.width(), 8);
    EXPECT_EQ(shot.pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(shot.pixel(2, 1), 0xFFFF0000u);
    EXPECT_EQ(shot.pixel(3, 2), 0xFFFF0000u);
    EXPECT_EQ(shot.pixel(4, 2), 0xFF0000FFu);
    EXPECT_EQ(shot.pixel(7, 3), 0xFF0000FFu);
}

TEST_F(QtTest, MouseInputWaitsForTheLoopAndKnowsDoubleClicks) {
    const int id = backend->CreateTopWindow({}, "");
    backend->SetBounds(id, {10, 10, 110, 60});
    backend->ShowWindow(id, true, false);
    QWindow* w = backend->NativeWindow(id);
    backend->DispatchPending();
    sink.events.clear();

    Send(w, QEvent::MouseButtonPress, {5, 6}, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_TRUE(sink.events.empty()) << "nothing of the program runs inside Qt's handler";
    Send(w, QEvent::MouseButtonRelease, {5, 6}, Qt::LeftButton, Qt::NoButton);
    Send(w, QEvent::MouseButtonPress, {6, 6}, Qt::LeftButton, Qt::LeftButton);
    Send(w, QEvent::MouseButtonDblClick, {6, 6}, Qt::LeftButton, Qt::LeftButton);
    Send(w, QEvent::MouseButtonRelease, {6, 6}, Qt::LeftButton, Qt::NoButton);
    Send(w, QEvent::MouseButtonPress, {6, 6}, Qt::LeftButton, Qt::LeftButton);  // a third
    Send(w, QEvent::MouseMove, {40, 20}, Qt::NoButton, Qt::RightButton, Qt::ControlModifier);
    Send(w, QEvent::MouseButtonPress, {40, 20}, Qt::RightButton, Qt::RightButton);
    // Presses a second apart by the window system's clock, however fast they come here, then
    // a tenth of a second apart.
    for (const auto& [x, at] : {std::pair{60, 5000ul}, {60, 6000ul}, {70, 7000ul}, {70, 7100ul}}) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, 20), QPointF(x + 10, 30),
                          Qt::RightButton, Qt::RightButton, Qt::NoModifier);
        press.setTimestamp(at);
        QCoreApplication::sendEvent(w, &press);
    }
    backend->DispatchPending();

    const auto downs = OfKind(sink.events, ui::EventKind::MouseDown);
    ASSERT_EQ(downs.size(), 8u) << "Qt's own double-click event adds no press";
    EXPECT_EQ(downs[0].window, id);
    EXPECT_EQ(downs[0].x, 5);
    EXPECT_EQ(downs[0].y, 6);
    EXPECT_EQ(downs[0].shift, ui::kShiftKey | ui::kLeftButton);
    EXPECT_EQ(downs[1].shift, ui::kLeftButton | ui::kDoubleClick);
    EXPECT_EQ(downs[2].shift, ui::kLeftButton);
    EXPECT_EQ(downs[3].button, ui::MouseButton::Right);
    EXPECT_EQ(downs[3].shift & ui::kDoubleClick, 0u) << "another button, another place";
    EXPECT_EQ(downs[5].shift & ui::kDoubleClick, 0u);
    EXPECT_EQ(downs[7].shift & ui::kDoubleClick, ui::kDoubleClick);
    EXPECT_EQ(OfKind(sink.events, ui::EventKind::MouseUp).size(), 2u);
    const auto moves = OfKind(sink.events, ui::EventKind::MouseMove);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].x, 40);
    EXPECT_EQ(moves[0].shift, ui::kCtrlKey | ui::kRightButton);
}

TEST_F(QtTest, CaptureTakesTheMouseFromOtherWindows) {
    const int a = backend->CreateTopWindow({}, "");
    const int b = backend->CreateTopWindow({.popup = true}, "");
    backend->SetBounds(a, {100, 100, 200, 200});
    backend->SetBounds(b, {300, 150, 350, 250});
    backend->SetCapture(a);
    EXPECT_EQ(backend->CaptureWindow(), a);
    Send(backend->NativeWindow(b), QEvent::MouseMove, {5, 5}, Qt::NoButton, Qt::LeftButton);
    backend->ReleaseCapture();
    Send(backend->NativeWindow(b), QEvent::MouseMove, {6, 6}, Qt::NoButton, Qt::NoButton);
    backend->DispatchPending();
    const auto moves = OfKind(sink.events, ui::EventKind::MouseMove);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].window, a);
    EXPECT_EQ(moves[0].x, 205);  // 300 + 5 - 100
    EXPECT_EQ(moves[0].y, 55);
    EXPECT_EQ(moves[1].window, b);
    EXPECT_EQ(moves[1].x, 6);
}

TEST_F(QtTest, TheWheelGoesWhereThePointerIsOrToTheCapture) {
    const int a = backend->CreateTopWindow({}, "");
    const int b = backend->CreateTopWindow({.popup = true}, "");
    backend->SetBounds(a, {100, 100, 200, 200});
    backend->SetBounds(b, {300, 150, 350, 250});
    const auto turn = [&](int window, int angle) {
        QWheelEvent e(QPointF(5, 5), QPointF(305, 155), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(backend->NativeWindow(window), &e);
    };
    turn(b, -120);  // towards the user
    backend->SetCapture(a);
    turn(b, 240);
    backend->ReleaseCapture();
    backend->DispatchPending();
    const auto wheels = OfKind(sink.events, ui::EventKind::MouseWheel);
    ASSERT_EQ(wheels.size(), 2u);
    EXPECT_EQ(wheels[0].window, b);
    EXPECT_EQ(wheels[0].wheel, -120);
    EXPECT_EQ(wheels[0].x, 5);
    EXPECT_EQ(wheels[1].window, a);  // the drop-down's form holds the mouse
    EXPECT_EQ(wheels[1].wheel, 240);
    EXPECT_EQ(wheels[1].x, 205);
    EXPECT_EQ(wheels[1].y, 55);
}

TEST_F(QtTest, KeysBecomeVirtualKeysAndCharactersOfTheActiveWindow) {
    const int id = backend->CreateTopWindow({}, "");
    backend->SetBounds(id, {0, 0, 50, 50});
    backend->ShowWindow(id, true, true);
    QWindow* w = backend->NativeWindow(id);
    for (int i = 0; i < 50 && backend->ActiveWindow() != id; ++i) backend->Wait(10);
    ASSERT_EQ(backend->ActiveWindow(), id);
    backend->DispatchPending();
    ASSERT_FALSE(OfKind(sink.events, ui::EventKind::Activate).empty());
    sink.events.clear();

    Key(w, Qt::Key_A, Qt::AltModifier, "a");
    Key(w, Qt::Key_Return, Qt::NoModifier, "\r");
    Key(w, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
    Key(w, Qt::Key_Backtab, Qt::ShiftModifier, "");
    Key(w, Qt::Key_F4, Qt::NoModifier, "");
    Key(w, Qt::Key_7, Qt::KeypadModifier, "");
    Key(w, Qt::Key_PageDown, Qt::NoModifier, "");
    Key(w, 0x0104, Qt::ShiftModifier, QString::fromUtf8("Ą"));
    backend->DispatchPending();

    const auto keys = OfKind(sink.events, ui::EventKind::KeyDown);
    ASSERT_EQ(keys.size(), 7u);
    EXPECT_EQ(keys[0].key, ui::kKeyA);
    EXPECT_EQ(keys[0].shift, ui::kAltKey);
    EXPECT_EQ(keys[1].key, ui::kKeyReturn);
    EXPECT_EQ(keys[2].key, ui::kKeyDelete);
    EXPECT_EQ(keys[3].key, ui::kKeyTab);
    EXPECT_EQ(keys[3].shift, ui::kShiftKey);
    EXPECT_EQ(keys[4].key, ui::kKeyF4);
    EXPECT_EQ(keys[5].key, ui::kKeyNumpad7);
    EXPECT_EQ(keys[6].key, ui::kKeyPageDown);
    const auto chars = OfKind(sink.events, ui::EventKind::Char);
    ASSERT_EQ(chars.size(), 3u) << "Delete types nothing";
    EXPECT_EQ(chars[0].ch, U'a');
    EXPECT_EQ(chars[0].shift, ui::kAltKey);
    EXPECT_EQ(chars[1].ch, U'\r');
    EXPECT_EQ(chars[2].ch, U'Ą');
    for (const auto& e : sink.events) EXPECT_EQ(e.window, id);
}

TEST_F(QtTest, PopupsNeverTakeTheActivation) {
    const int form = backend->CreateTopWindow({}, "");
    const int popup = backend->CreateTopWindow({.popup = true}, "");
    backend->SetBounds(form, {0, 0, 50, 50});
    backend->SetBounds(popup, {0, 50, 50, 80});
    backend->ShowWindow(form, true, true);
    for (int i = 0; i < 50 && backend->ActiveWindow() != form; ++i) backend->Wait(10);
    ASSERT_EQ(backend->ActiveWindow(), form);
    backend->ShowWindow(popup, true, true);
    backend->Activate(popup);
    backend->Wait(20);
    backend->DispatchPending();
    EXPECT_EQ(backend->ActiveWindow(), form);
    EXPECT_TRUE(backend->NativeWindow(popup)->isVisible());
    EXPECT_EQ(backend->NativeWindow(popup)->transientParent(), backend->NativeWindow(form));
    for (const auto& e : sink.events) EXPECT_NE(e.window, popup);
}

TEST_F(QtTest, CloseRequestLeavesTheWindowToTheProgram) {
    const int id = backend->CreateTopWindow({}, "");
    backend->SetBounds(id, {0, 0, 50, 50});
    backend->ShowWindow(id, true, false);
    backend->NativeWindow(id)->close();
    backend->DispatchPending();
    EXPECT_EQ(OfKind(sink.events, ui::EventKind::CloseRequest).size(), 1u);
    ASSERT_NE(backend->NativeWindow(id), nullptr);
    EXPECT_TRUE(backend->NativeWindow(id)->isVisible());
}

TEST_F(QtTest, AHandlerMayDestroyTheWindowItsEventCameFrom) {
    const int id = backend->CreateTopWindow({}, "");
    backend->SetBounds(id, {0, 0, 50, 50});
    backend->ShowWindow(id, true, false);
    QWindow* w = backend->NativeWindow(id);
    sink.onEvent = [&](const ui::Event& e) {
        if (e.kind == ui::EventKind::MouseDown) backend->DestroyWindow(e.window);
    };
    Send(w, QEvent::MouseButtonPress, {1, 1}, Qt::LeftButton, Qt::LeftButton);
    Send(w, QEvent::MouseButtonRelease, {1, 1}, Qt::LeftButton, Qt::NoButton);
    backend->DispatchPending();
    EXPECT_EQ(backend->NativeWindow(id), nullptr);
    EXPECT_TRUE(OfKind(sink.events, ui::EventKind::MouseUp).empty())
        << "what was queued for a destroyed window goes with it";
}

TEST_F(QtTest, TheWindowFollowsThePointerUntilReleased) {
    const int id = backend->CreateTopWindow({}, "");
    backend->SetBounds(id, {100, 100, 150, 130});
    backend->ShowWindow(id, true, false);
    QWindow* w = backend->NativeWindow(id);
    Send(w, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    backend->DispatchPending();
    std::vector<std::pair<int, int>> done;
    backend->BeginSystemMove(id, [&](int left, int top) { done.emplace_back(left, top); });
    sink.events.clear();

    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(150, 130), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
    EXPECT_EQ(w->position(), QPoint(140, 120));
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(160, 135), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &up);
    EXPECT_TRUE(done.empty()) << "told from the loop, not from inside Qt";
    backend->DispatchPending();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0], std::make_pair(150, 125));
    EXPECT_TRUE(sink.events.empty()) << "the move's input is not the program's";
}

TEST_F(QtTest, AMoveBegunLateCatchesUpWithThePointer) {
    const int id = backend->CreateTopWindow({}, "");
    backend->SetBounds(id, {100, 100, 150, 130});
    backend->ShowWindow(id, true, false);
    QWindow* w = backend->NativeWindow(id);
    std::vector<std::pair<int, int>> done;
    std::vector<std::string> seen;
    sink.onEvent = [&](const ui::Event& e) {
        if (e.kind == ui::EventKind::MouseDown && done.empty() && seen.empty()) {
            backend->BeginSystemMove(id, [&](int left, int top) {
                done.emplace_back(left, top);
                seen.push_back("done");
            });
        }
        if (e.kind == ui::EventKind::MouseDown) seen.push_back("down");
        if (e.kind == ui::EventKind::MouseUp) seen.push_back("up");
        if (e.kind == ui::EventKind::MouseMove) seen.push_back("move");
    };
    // The whole drag, and a click after it, before the program has seen the press.
    Send(w, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(150, 130), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(130, 140), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &up);
    Send(w, QEvent::MouseButtonPress, {1, 1}, Qt::RightButton, Qt::RightButton);
    backend->DispatchPending();

    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0], std::make_pair(120, 130));
    EXPECT_EQ(w->position(), QPoint(120, 130));
    EXPECT_EQ(seen, (std::vector<std::string>{"down", "done", "down"}));
}

TEST_F(QtTest, TimersCoalesceAndDieWithKillTimer) {
    const int t = backend->SetTimer(5);
    backend->Wait(-1);                                           // returns when it falls due
    std::this_thread::sleep_for(std::chrono::milliseconds(60));  // busy for many intervals
    backend->DispatchPending();
    auto ticks = OfKind(sink.events, ui::EventKind::Timer);
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_EQ(ticks[0].timer, t);

    sink.events.clear();
    backend->Wait(-1);
    QCoreApplication::processEvents();
    backend->KillTimer(t);  // killed with a tick queued
    backend->DispatchPending();
    EXPECT_TRUE(OfKind(sink.events, ui::EventKind::Timer).empty());
    backend->KillTimer(t);
}

TEST_F(QtTest, WaitEndsAtItsLimitOrAtAWakeFromAnotherThread) {
    const int64_t start = backend->MonotonicMs();
    backend->Wait(30);
    EXPECT_GE(backend->MonotonicMs() - start, 30);

    std::thread other([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        backend->Wake();
    });
    backend->Wait(-1);  // would never return without the wake
    other.join();

    backend->Wake();  // before the wait: not lost
    backend->Wait(-1);
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(QtTest, WhatQtGaveUpIsDeletedByTheLoop) {
    QPointer<QObject> outer = new QObject;  // deleted later by the loop
    outer->deleteLater();
    QPointer<QObject> inner = new QObject;
    const int timer = backend->SetTimer(1);
    sink.onEvent = [&](const ui::Event&) {
        backend->KillTimer(timer);
        inner->deleteLater();
        backend->DispatchPending();  // a nested turn: the handler may still be using it
        EXPECT_FALSE(inner.isNull());
    };
    backend->Wait(-1);
    backend->DispatchPending();
    EXPECT_TRUE(outer.isNull());
    backend->DispatchPending();
    EXPECT_TRUE(inner.isNull());
}

TEST_F(QtTest, WallClockIsLocalTime) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const TDateTime expected = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
                               EncodeTime(local.tm_hour, local.tm_min, local.tm_sec);
    EXPECT_NEAR(backend->WallClock(), expected, 3.0 / kSecondsPerDay);
}

// Acts on the message box once it is open.
void WhenBoxOpens(const std::function<void(QMessageBox&)>& act) {
    QTimer::singleShot(0, [act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        act(*box);
    });
}

TEST_F(QtTest, MessageBoxesHaveTheProgramsButtonsAndAnswers) {
    WhenBoxOpens([](QMessageBox& box) {
        EXPECT_EQ(box.text(), QString::fromUtf8("Przekroczono <limit> & co."));
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        EXPECT_EQ(box.windowTitle(), QString::fromUtf8("Taktomat"));
        EXPECT_EQ(box.icon(), QMessageBox::Question);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()), box.button(QMessageBox::Yes));
        // Polish answers under the Polish question, whatever language Qt speaks.
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QString::fromUtf8("&Tak"));
        EXPECT_EQ(box.button(QMessageBox::No)->text(), QString::fromUtf8("&Nie"));
        EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QString::fromUtf8("Anuluj"));
        box.button(QMessageBox::No)->click();
    });
    EXPECT_EQ(backend->ShowMessageBox("Przekroczono <limit> & co.", "Taktomat",
                                      ui::kMbYesNoCancel | ui::kMbIconQuestion),
              ui::kIdNo);

    WhenBoxOpens([](QMessageBox& box) {
        EXPECT_EQ(box.icon(), QMessageBox::Critical);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QString::fromUtf8("OK"));
        box.reject();  // Escape or the window's close button
    });
    EXPECT_EQ(backend->ShowMessageBox("Błąd", "T", ui::kMbOk | ui::kMbIconError), ui::kIdOk);

    WhenBoxOpens([](QMessageBox& box) {
        EXPECT_EQ(box.icon(), QMessageBox::Warning);
        box.reject();
    });
    EXPECT_EQ(backend->ShowMessageBox("x", "T", ui::kMbRetryCancel | ui::kMbIconExclamation),
              ui::kIdCancel);

    WhenBoxOpens([](QMessageBox& box) {
        EXPECT_EQ(box.standardButtons(),
                  QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        EXPECT_EQ(box.icon(), QMessageBox::Information);
        box.button(QMessageBox::Ignore)->click();
    });
    EXPECT_EQ(backend->ShowMessageBox("x", "T", ui::kMbAbortRetryIgnore | ui::kMbIconInformation),
              ui::kIdIgnore);
}

TEST_F(QtTest, TimersKeepRunningUnderAnOpenMessageBox) {
    const int t = backend->SetTimer(5);
    int ticksWhileOpen = 0;
    sink.onEvent = [&](const ui::Event& e) {
        if (e.kind == ui::EventKind::Timer && QApplication::activeModalWidget()) {
            if (++ticksWhileOpen == 3) {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                box->button(QMessageBox::Ok)->click();
            }
        }
    };
    EXPECT_EQ(backend->ShowMessageBox("x", "T", ui::kMbOk), ui::kIdOk);
    EXPECT_EQ(ticksWhileOpen, 3);
    backend->KillTimer(t);

    // Work posted from another thread gets its turn too.
    sink.onEvent = nullptr;
    int turnsBefore = 0;
    QTimer::singleShot(0, [&] {
        turnsBefore = sink.turns;
        std::thread([this] { backend->Wake(); }).join();
        QTimer::singleShot(50, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            box->button(QMessageBox::Ok)->click();
        });
    });
    backend->ShowMessageBox("x", "T", ui::kMbOk);
    EXPECT_GT(sink.turns, turnsBefore);
}

// A signal ends the program while a box or menu is open: they close as Escape would, and no
// later one waits for an answer that will not come.
TEST_F(QtTest, EndModalLoopsClosesTheOpenBoxesAndMenusAndLaterOnesDoNotWait) {
    const std::vector<ui::MenuEntry> entries = {{"&Pokaż", true}, {"&Zakończ", true}};
    // What is still open after a while failed to close; closed here so the test ends.
    QTimer stuck;
    QObject::connect(&stuck, &QTimer::timeout, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            ADD_FAILURE() << "a menu still waits";
            popup->close();
        } else if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "a box still waits";
            dialog->done(QDialog::Accepted);
        }
    });
    stuck.start(2000);
    int inner = 0;
    int menu = 0;
    QTimer::singleShot(0, [&] {
        // A menu opened from a turn of the program's loop under the box.
        QTimer::singleShot(0, [&] {
            ASSERT_NE(qobject_cast<QMenu*>(QApplication::activePopupWidget()), nullptr);
            // From another thread as the signal's watcher would, through the program's loop.
            sink.onTurn = [this] { backend->EndModalLoops(); };
            std::thread([this] { backend->Wake(); }).join();
        });
        menu = backend->TrackPopupMenu(entries, 20, 30);
        inner = backend->ShowMessageBox("po", "T", ui::kMbYesNo);
    });
    EXPECT_EQ(backend->ShowMessageBox("Koniec?", "T", ui::kMbYesNo | ui::kMbIconQuestion),
              ui::kIdNo);
    EXPECT_EQ(menu, -1);
    EXPECT_EQ(inner, ui::kIdNo);
    EXPECT_EQ(backend->ShowMessageBox("x", "T", ui::kMbOkCancel), ui::kIdCancel);
    EXPECT_EQ(backend->ShowMessageBox("x", "T", ui::kMbOk), ui::kIdOk);
    EXPECT_EQ(backend->TrackPopupMenu(entries, 20, 30), -1);
}

TEST_F(QtTest, PopupMenuAnswersTheEntrysIndex) {
    const std::vector<ui::MenuEntry> entries = {
        {"&Pokaż", true}, {"-", true}, {"&Opcje", false}, {"&Zakończ", true}};
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        const auto actions = menu->actions();
        ASSERT_EQ(actions.size(), 4);
        EXPECT_TRUE(actions[1]->isSeparator());
        EXPECT_FALSE(actions[2]->isEnabled());
        EXPECT_EQ(actions[3]->text(), QString::fromUtf8("&Zakończ"));
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, "z");  // the access key
        QCoreApplication::sendEvent(menu, &key);
    });
    EXPECT_EQ(backend->TrackPopupMenu(entries, 20, 30), 3);

    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(menu, &key);
    });
    EXPECT_EQ(backend->TrackPopupMenu(entries, 20, 30), -1);
}

TEST_F(QtTest, TrayActivationsBecomePointerEvents) {
    EXPECT_EQ(backend->NativeTrayIcon(), nullptr);
    ui::TrayIcon icon{"Taktomat: 00:01:02", 2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0}};
    backend->ShowTrayIcon(icon);
    QSystemTrayIcon* tray = backend->NativeTrayIcon();
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->toolTip(), QString::fromUtf8("Taktomat: 00:01:02"));
    EXPECT_EQ(tray->icon().pixmap(2, 2).toImage().convertToFormat(QImage::Format_RGB32).pixel(1, 0),
              0xFF00FF00u);

    emit tray->activated(QSystemTrayIcon::Trigger);
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    emit tray->activated(QSystemTrayIcon::Context);
    emit tray->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_TRUE(sink.events.empty());
    backend->DispatchPending();
    const auto trays = OfKind(sink.events, ui::EventKind::Tray);
    ASSERT_EQ(trays.size(), 3u);
    EXPECT_EQ(trays[0].tray, ui::TrayMouse::LeftDown);
    EXPECT_EQ(trays[1].tray, ui::TrayMouse::LeftDoubleClick);
    EXPECT_EQ(trays[2].tray, ui::TrayMouse::RightDown);
    EXPECT_EQ(trays[0].x, QCursor::pos().x());
    EXPECT_EQ(trays[0].y, QCursor::pos().y());

    backend->SetTrayTip("Taktomat: 00:01:03");
    EXPECT_EQ(tray->toolTip(), QString::fromUtf8("Taktomat: 00:01:03"));
    EXPECT_EQ(tray->icon().pixmap(2, 2).toImage().convertToFormat(QImage::Format_RGB32).pixel(1, 0),
              0xFF00FF00u);
    EXPECT_EQ(backend->NativeTrayIcon(), tray) << "one icon, modified";
    backend->ShowTrayIcon(ui::TrayIcon{"bez obrazka", 0, 0, {}});
    EXPECT_FALSE(tray->icon().isNull()) << "the default icon";
    backend->HideTrayIcon();
    EXPECT_FALSE(tray->isVisible());
}

// The toolkit on top: a form's picture reaches the screen and a click reaches its control.
TEST_F(QtTest, AFormShowsAndIsClickedThroughTheApplication) {
    backend->SetEventSink(nullptr);
    Application app(*backend);
    auto& form = app.CreateForm<TForm>();
    form.SetBorderStyle(TFormBorderStyle::bsNone);
    form.SetBounds(40, 30, 60, 40);
    form.SetColor(clNavy);
    auto* box = new TPaintBox(&form);
    box->SetParent(&form);
    box->SetBounds(10, 10, 20, 10);
    box->OnPaint = [box](TComponent*) {
        box->GetCanvas().Brush().Color = clRed;
        box->GetCanvas().FillRect({0, 0, 20, 10});
    };
    int clicks = 0;
    box->OnClick = [&](TComponent*) { ++clicks; };
    form.Show();
    app.ProcessMessages();
    app.ProcessMessages();

    QWindow* w = backend->NativeWindow(form.WindowId());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), QRect(40, 30, 60, 40));
    const QImage shot =
        w->screen()->grabWindow(w->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot.pixel(0, 0), PixelFromRGB(clNavy));
    EXPECT_EQ(shot.pixel(15, 15), PixelFromRGB(clRed));

    Send(w, QEvent::MouseMove, {15, 15}, Qt::NoButton, Qt::NoButton);
    Send(w, QEvent::MouseButtonPress, {15, 15}, Qt::LeftButton, Qt::LeftButton);
    Send(w, QEvent::MouseButtonRelease, {15, 15}, Qt::LeftButton, Qt::NoButton);
    app.ProcessMessages();
    EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace tt::qt
