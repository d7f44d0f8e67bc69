#include "platform/win32/win32_backend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/application.h"
#include "toolkit/gfx/bitmap.h"
// After the toolkit: windows.h makes macros of the key names that the toolkit declares.
#include <windows.h>

namespace tt::win32 {
namespace {

struct RecordingSink : ui::EventSink {
    std::vector<ui::Event> events;
    void HandleEvent(const ui::Event& event) override { events.push_back(event); }
    void ProcessMessages() override {}
    int Count(ui::EventKind kind) const {
        int n = 0;
        for (const auto& e : events) n += e.kind == kind;
        return n;
    }
};

class Win32BackendTest : public ::testing::Test {
  protected:
    Win32BackendTest() { backend.SetEventSink(&sink); }
    // Runs the loop until `done` or two seconds of real time.
    template <class F>
    bool PumpUntil(F done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            backend.DispatchPending();
            if (!done()) backend.Wait(20);
        }
        return true;
    }

    Win32Backend backend{"Taktomat 2000"};
    RecordingSink sink;
};

TEST_F(Win32BackendTest, WindowsArePopupsOwnedByAToolWindowWithTheirStyleBits) {
    HWND app = backend.ApplicationWindow();
    ASSERT_NE(app, nullptr);
    EXPECT_TRUE(GetWindowLongA(app, GWL_EXSTYLE) & 0x80);  // no taskbar button
    char title[64] = {};
    GetWindowTextA(app, title, sizeof title);
    EXPECT_STREQ(title, "Taktomat 2000");

    const int main = backend.CreateTopWindow({.topmost = true}, "main");
    const int plain = backend.CreateTopWindow({}, "plain");
    const int hint = backend.CreateTopWindow({true, true, true}, "");
    for (int w : {main, plain, hint}) {
        HWND hwnd = backend.NativeWindow(w);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(backend.WindowOf(hwnd), w);
        EXPECT_TRUE(GetWindowLongA(hwnd, GWL_STYLE) & WS_POPUP);
        EXPECT_EQ(GetWindow(hwnd, GW_OWNER), app);
    }
    EXPECT_TRUE(GetWindowLongA(backend.NativeWindow(main), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(GetWindowLongA(backend.NativeWindow(plain), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongA(backend.NativeWindow(hint), GWL_EXSTYLE) & WS_EX_NOACTIVATE);

    backend.SetBounds(main, {100, 120, 300, 250});
    RECT r{};
    GetWindowRect(backend.NativeWindow(main), &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(r.right, 300);
    EXPECT_EQ(r.bottom, 250);

    HWND gone = backend.NativeWindow(plain);
    backend.DestroyWindow(plain);
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_EQ(backend.NativeWindow(plain), nullptr);
}

// What WM_PAINT would put on the screen, read back through WM_PRINTCLIENT into our own DIB.
std::vector<uint32_t> PrintClient(HWND hwnd, int width, int height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bmp);
    SendMessageA(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> out(p, p + width * height);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    for (auto& px : out) px &= 0x00FFFFFF;
    return out;
}

TEST_F(Win32BackendTest, PresentedBufferIsWhatTheWindowPaintsAndOnlyDirtyRowsChange) {
    const int w = backend.CreateTopWindow({}, "buffer");
    backend.SetBounds(w, {0, 0, 4, 3});
    std::vector<uint32_t> pixels(12, 0xFF112233);
    pixels[5] = 0xFFFF0000;
    backend.Present(w, pixels.data(), 4, 3, {0, 0, 4, 3});
    auto shown = PrintClient(backend.NativeWindow(w), 4, 3);
    EXPECT_EQ(shown[0], 0x112233u);
    EXPECT_EQ(shown[5], 0xFF0000u);

    // Only the dirty rectangle is taken from the new buffer.
    std::vector<uint32_t> next(12, 0xFF00FF00);
    backend.Present(w, next.data(), 4, 3, {1, 1, 2, 2});
    shown = PrintClient(backend.NativeWindow(w), 4, 3);
    EXPECT_EQ(shown[5], 0x00FF00u);
    EXPECT_EQ(shown[0], 0x112233u);
    EXPECT_EQ(shown[6], 0x112233u);

    // A new size takes the whole buffer, whatever the dirty rectangle says.
    std::vector<uint32_t> bigger(6 * 2, 0xFF0000FF);
    backend.Present(w, bigger.data(), 6, 2, {0, 0, 1, 1});
    shown = PrintClient(backend.NativeWindow(w), 6, 2);
    EXPECT_EQ(shown[11], 0x0000FFu);
    EXPECT_EQ(SendMessageA(backend.NativeWindow(w), WM_ERASEBKGND, 0, 0), 0);
}

TEST(Win32Scale, WindowsShowBlocksOfTheirFactorAndReportInputAndScreensInTheToolkitsPixels) {
    Win32Backend backend("scaled", 2);  // the user's choice, whatever the DPI
    RecordingSink sink;
    backend.SetEventSink(&sink);
    ASSERT_EQ(backend.Factor(), 2);
    const int w = backend.CreateTopWindow({}, "scaled");
    HWND hwnd = backend.NativeWindow(w);
    backend.SetBounds(w, {10, 20, 13, 22});
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}),
              (std::vector<LONG>{20, 40, 26, 44}));

    std::vector<uint32_t> frame{0xFF000001, 0xFF000002, 0xFF000003,
                                0xFF000004, 0xFF000005, 0xFF000006};
    backend.Present(w, frame.data(), 3, 2, {0, 0, 3, 2});
    frame[5] = 0xFF000007;
    backend.Present(w, frame.data(), 3, 2, {2, 1, 3, 2});
    // clang-format off
    const std::vector<uint32_t> doubled{1, 1, 2, 2, 3, 3,
                                        1, 1, 2, 2, 3, 3,
                                        4, 4, 5, 5, 7, 7,
                                        4, 4, 5, 5, 7, 7};
    // clang-format on
    EXPECT_EQ(PrintClient(hwnd, 6, 4), doubled);

    // Input in client pixels comes in the toolkit's, rounded down also left of the window.
    SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(-3, 5));
    ASSERT_EQ(sink.Count(ui::EventKind::MouseUp), 1);
    EXPECT_EQ(sink.events.back().x, -2);
    EXPECT_EQ(sink.events.back().y, 2);

    // The monitors at the same factor, the primary first.
    const std::vector<ui::Monitor> monitors = backend.Monitors();
    ASSERT_FALSE(monitors.empty());
    EXPECT_EQ(monitors[0].bounds, backend.ScreenRect());
    EXPECT_EQ(backend.ScreenRect().right, GetSystemMetrics(SM_CXSCREEN) / 2);
    // The user's factor holds on a monitor of another DPI too.
    SendMessageA(hwnd, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(96, 96),
                 reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(backend.WindowFactor(w), 2);
}

TEST_F(Win32BackendTest, AWindowMovedToAMonitorOfAnotherDpiIsShownAtThatOnesFactorWhereItIs) {
    const int w = backend.CreateTopWindow({}, "moved");
    HWND hwnd = backend.NativeWindow(w);
    backend.SetBounds(w, {30, 40, 32, 41});
    std::vector<uint32_t> frame{0xFF0000AA, 0xFF0000BB};
    backend.Present(w, frame.data(), 2, 1, {0, 0, 2, 1});
    RECT suggested{500, 500, 504, 502};
    SendMessageA(hwnd, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(backend.WindowFactor(w), 2);
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}),
              (std::vector<LONG>{30, 40, 34, 42}));
    EXPECT_EQ(PrintClient(hwnd, 4, 2),
              (std::vector<uint32_t>{0xAA, 0xAA, 0xBB, 0xBB, 0xAA, 0xAA, 0xBB, 0xBB}));
}

TEST_F(Win32BackendTest, TimersFireUntilKilled) {
    const int t = backend.SetTimer(15);
    ASSERT_TRUE(PumpUntil([&] { return sink.Count(ui::EventKind::Timer) >= 3; }));
    for (const auto& e : sink.events) {
        if (e.kind == ui::EventKind::Timer) {
            EXPECT_EQ(e.timer, t);
        }
    }
    backend.KillTimer(t);
    sink.events.clear();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (std::chrono::steady_clock::now() < end) {
        backend.DispatchPending();
        backend.Wait(10);
    }
    EXPECT_EQ(sink.Count(ui::EventKind::Timer), 0);
}

TEST_F(Win32BackendTest, InputBecomesEventsAndCloseOnlyAsks) {
    const int w = backend.CreateTopWindow({}, "input");
    HWND hwnd = backend.NativeWindow(w);
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(7, 9));
    PostMessageA(hwnd, WM_RBUTTONDBLCLK, MK_RBUTTON, MAKELPARAM(-2, 3));
    PostMessageA(hwnd, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(hwnd, WM_CHAR, 'a', 0);
    PostMessageA(hwnd, WM_SYSCHAR, 'n', 0);
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return sink.Count(ui::EventKind::Char) == 3; }));
    std::vector<ui::Event> got;
    for (const auto& e : sink.events) {
        if (e.kind != ui::EventKind::Activate && e.kind != ui::EventKind::Deactivate &&
            e.kind != ui::EventKind::MouseMove && e.kind != ui::EventKind::MouseLeave)
            got.push_back(e);
    }
    // The key press is translated into its character as well, whenever that comes.
    const auto enter =
        std::find_if(got.begin(), got.end(), [](const ui::Event& e) { return e.ch == U'\r'; });
    ASSERT_NE(enter, got.end());
    got.erase(enter);
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0].kind, ui::EventKind::MouseDown);
    EXPECT_EQ(got[0].window, w);
    EXPECT_EQ(got[0].x, 7);
    EXPECT_EQ(got[0].y, 9);
    EXPECT_EQ(got[0].shift & (ui::kShiftKey | ui::kLeftButton), ui::kShiftKey | ui::kLeftButton);
    EXPECT_EQ(got[1].button, ui::MouseButton::Right);
    EXPECT_EQ(got[1].x, -2);  // left of the window while captured
    EXPECT_TRUE(got[1].shift & ui::kDoubleClick);
    EXPECT_EQ(got[2].kind, ui::EventKind::KeyDown);
    EXPECT_EQ(got[2].key, ui::kKeyReturn);
    EXPECT_EQ(got[3].ch, U'a');
    EXPECT_EQ(got[4].ch, U'n');
    EXPECT_TRUE(got[4].shift & ui::kAltKey);
    EXPECT_EQ(got[5].kind, ui::EventKind::CloseRequest);
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(Win32BackendTest, TheWheelReportsItsTurnAtThePointerInTheWindow) {
    const int w = backend.CreateTopWindow({}, "wheel");
    backend.SetBounds(w, {100, 100, 300, 200});
    // The system gives the wheel's pointer on the screen.
    PostMessageA(backend.NativeWindow(w), WM_MOUSEWHEEL,
                 MAKEWPARAM(MK_SHIFT, static_cast<WORD>(-120)), MAKELPARAM(110, 120));
    ASSERT_TRUE(PumpUntil([&] { return sink.Count(ui::EventKind::MouseWheel) == 1; }));
    for (const auto& e : sink.events) {
        if (e.kind != ui::EventKind::MouseWheel) continue;
        EXPECT_EQ(e.window, w);
        EXPECT_EQ(e.wheel, -120);
        EXPECT_EQ(e.x, 10);
        EXPECT_EQ(e.y, 20);
        EXPECT_TRUE(e.shift & ui::kShiftKey);
    }
}

TEST_F(Win32BackendTest, ClocksScreenAndTextConversion) {
    const int64_t a = backend.MonotonicMs();
    Sleep(30);
    const int64_t b = backend.MonotonicMs();
    EXPECT_GE(b - a, 15);  // the tick count moves by the system's tick, up to 16 ms
    EXPECT_LT(b - a, 1000);

    SYSTEMTIME t{};
    GetLocalTime(&t);
    const TDateTime now = backend.WallClock();
    EXPECT_NEAR(now,
                EncodeDate(t.wYear, t.wMonth, t.wDay) + EncodeTime(t.wHour, t.wMinute, t.wSecond),
                2.0 / kSecondsPerDay);

    const ui::Rect screen = backend.ScreenRect();
    const ui::Rect work = backend.WorkArea();
    EXPECT_GT(screen.Width(), 0);
    EXPECT_GE(work.left, screen.left);
    EXPECT_LE(work.bottom, screen.bottom);
    EXPECT_GT(backend.DoubleClickTime(), 0);

    EXPECT_EQ(Utf8ToAnsi("Taktomat 2000"), "Taktomat 2000");
    EXPECT_EQ(AnsiToUtf8(Utf8ToAnsi("Taktomat 2000")), "Taktomat 2000");
    EXPECT_EQ(Utf8ToWide("Zażółć"), L"Za\u017c\u00f3\u0142\u0107");
    if (GetACP() == 1250) {
        EXPECT_EQ(Utf8ToAnsi("ł"), "\xB3");
    }
}

// A sink that acts on the screen from inside the backend's modal loops.
struct ModalSink : ui::EventSink {
    std::function<void()> onTimer;
    int timers = 0;
    bool insideCall = false;
    bool reentered = false;
    void HandleEvent(const ui::Event& e) override {
        if (insideCall) reentered = true;
        if (e.kind == ui::EventKind::Timer) {
            ++timers;
            if (onTimer) onTimer();
        }
    }
    void ProcessMessages() override {}
};

TEST_F(Win32BackendTest, TimersRunInsideMessageBoxesAndMenusWhichAnswerAsTheSystemDoes) {
    ModalSink modal;
    backend.SetEventSink(&modal);
    const int t = backend.SetTimer(30);

    // The box carries the program's caption and flags; a timer answers it from inside.
    // Texts keep letters that the ANSI code page lacks ("ł" is not in 1252).
    std::wstring seenText;
    modal.onTimer = [&] {
        HWND box = FindWindowA("#32770", "Taktomat 2000");
        if (!box) return;
        wchar_t text[128] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 128);
        seenText = text;
        PostMessageA(box, WM_COMMAND, IDNO, 0);
    };
    const int answer = backend.ShowMessageBox("Zakończyć połączenie?", "Taktomat 2000",
                                              ui::kMbYesNo | ui::kMbIconQuestion);
    EXPECT_EQ(answer, ui::kIdNo);
    EXPECT_EQ(seenText, Utf8ToWide("Zakończyć połączenie?"));
    EXPECT_GT(modal.timers, 0);

    // A menu dismissed without a choice gives -1; the timers went on meanwhile.
    modal.timers = 0;
    std::wstring caption;
    modal.onTimer = [&] {
        if (HWND shown = FindWindowA("#32768", nullptr)) {
            const auto menu = reinterpret_cast<HMENU>(SendMessageW(shown, MN_GETHMENU, 0, 0));
            wchar_t text[64] = {};
            GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
            caption = text;
        }
        EndMenu();
    };
    EXPECT_EQ(backend.TrackPopupMenu({{"&Połącz"}, {"-"}, {"&Zamknij", false}}, 50, 50), -1);
    EXPECT_GT(modal.timers, 0);
    EXPECT_EQ(caption, Utf8ToWide("&Połącz"));
    backend.SetClipboardText("łąka");
    EXPECT_EQ(backend.ClipboardText(), "łąka");
    backend.KillTimer(t);
}

TEST_F(Win32BackendTest, ShowingAndActivatingReportLaterNotFromInsideTheCall) {
    ModalSink modal;
    backend.SetEventSink(&modal);
    const int w = backend.CreateTopWindow({.topmost = true}, "main");
    backend.SetBounds(w, {10, 10, 60, 40});
    modal.insideCall = true;
    backend.ShowWindow(w, true, true);
    backend.Activate(w);
    backend.SetBounds(w, {20, 20, 70, 50});
    modal.insideCall = false;
    EXPECT_FALSE(modal.reentered);
    EXPECT_TRUE(IsWindowVisible(backend.NativeWindow(w)));
    backend.SetEventSink(&sink);
    backend.DispatchPending();
    EXPECT_GE(sink.Count(ui::EventKind::Activate), 1);
    backend.ShowWindow(w, false, false);
    EXPECT_FALSE(IsWindowVisible(backend.NativeWindow(w)));
}

// The wake-up from another thread, through the application that the program uses.
TEST_F(Win32BackendTest, PostedFunctionsRunOnTheGuiThreadInOrder) {
    Application app(backend);
    const DWORD gui = GetCurrentThreadId();
    std::vector<int> order;
    bool allOnGui = true;
    std::thread poster([&] {
        for (int i = 0; i < 50; ++i) {
            app.Post([&, i] {
                order.push_back(i);
                allOnGui = allOnGui && GetCurrentThreadId() == gui;
            });
            if (i % 10 == 0) Sleep(2);
        }
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (order.size() < 50 && std::chrono::steady_clock::now() < end) {
        app.ProcessMessages();
        // No limit: only the wake-up message can end this wait.
        if (order.size() < 50) app.WaitForMessages(2000);
    }
    poster.join();
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
    EXPECT_TRUE(allOnGui);
}

TEST(GdiFontEngine, MeasuresAndDrawsOnlyInsideTheClip) {
    GdiFontEngine engine;
    TFont font;
    font.Name = "Tahoma";
    const TFontMetrics m = engine.Metrics(font);
    EXPECT_GE(m.Height, 11);
    EXPECT_GT(m.Ascent, 0);
    EXPECT_LT(m.Ascent, m.Height);
    EXPECT_EQ(engine.TextWidth(font, ""), 0);
    EXPECT_GT(engine.TextWidth(font, "WWW"), engine.TextWidth(font, "iii"));
    EXPECT_EQ(engine.TextWidth(font, "ab") + engine.TextWidth(font, "ab"),
              engine.TextWidth(font, "abab"));
    TFont bold = font;
    bold.Bold = true;
    EXPECT_GE(engine.TextWidth(bold, "Taktomat"), engine.TextWidth(font, "Taktomat"));

    Bitmap target(60, 20);  // white
    engine.DrawGlyphs(target, {0, 0, 60, 20}, 2, 2, font, "Hm", clRed);
    int red = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 60; ++x) {
            const TColor c = target.GetPixel(x, y);
            EXPECT_TRUE(c == clRed || c == clWhite);
            if (c == clRed) {
                ++red;
                EXPECT_GE(x, 2);
                EXPECT_LT(x, 2 + engine.TextWidth(font, "Hm") + 1);
                EXPECT_GE(y, 2);
                EXPECT_LT(y, 2 + m.Height);
            }
        }
    }
    EXPECT_GT(red, 10);

    // Clipped to the left half: nothing lands in the right half.
    Bitmap clipped(60, 20);
    engine.DrawGlyphs(clipped, {0, 0, 8, 20}, 2, 2, font, "Hm", clBlack);
    for (int y = 0; y < 20; ++y) {
        for (int x = 8; x < 60; ++x) EXPECT_EQ(clipped.GetPixel(x, y), clWhite);
    }
    // Partly outside the bitmap: no crash, and what falls inside is drawn.
    Bitmap edge(10, 10);
    engine.DrawGlyphs(edge, {-50, -50, 50, 50}, -3, -4, font, "Hm", clBlack);
}

}  // namespace
}  // namespace tt::win32
