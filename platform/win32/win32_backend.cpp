#include "platform/win32/win32_backend.h"

// clang-format off
#include <windows.h>
#include <windowsx.h>
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <cstring>

#include "base/error.h"
#include "platform/win32/notify_icon_hook.h"
#include "toolkit/gfx/bitmap.h"

namespace tt::win32 {

namespace {

constexpr char kWindowClass[] = "TaktomatWindow";
constexpr UINT kWakeMessage = WM_APP + 1;
constexpr UINT kTrayMessage = WM_APP + 2;
constexpr UINT kTrayId = 1;
// The system move: SC_MOVE with the low bits saying "by the mouse".
constexpr WPARAM kMoveByMouse = 0xF012;

// The toolkit's key codes are the virtual-key codes: a key press is handed on as it comes.
static_assert(ui::kKeyBack == VK_BACK && ui::kKeyTab == VK_TAB && ui::kKeyReturn == VK_RETURN &&
              ui::kKeyShift == VK_SHIFT && ui::kKeyControl == VK_CONTROL &&
              ui::kKeyAlt == VK_MENU && ui::kKeyPause == VK_PAUSE &&
              ui::kKeyCapsLock == VK_CAPITAL && ui::kKeyEscape == VK_ESCAPE &&
              ui::kKeySpace == VK_SPACE && ui::kKeyPageUp == VK_PRIOR &&
              ui::kKeyPageDown == VK_NEXT && ui::kKeyEnd == VK_END && ui::kKeyHome == VK_HOME &&
              ui::kKeyLeft == VK_LEFT && ui::kKeyUp == VK_UP && ui::kKeyRight == VK_RIGHT &&
              ui::kKeyDown == VK_DOWN && ui::kKeyInsert == VK_INSERT &&
              ui::kKeyDelete == VK_DELETE && ui::kKey0 == '0' && ui::kKey9 == '9' &&
              ui::kKeyA == 'A' && ui::kKeyZ == 'Z' && ui::kKeyNumpad0 == VK_NUMPAD0 &&
              ui::kKeyNumpad9 == VK_NUMPAD9 && ui::kKeyF1 == VK_F1 && ui::kKeyF24 == VK_F24);

Win32Backend* BackendOf(HWND hwnd) {
    return reinterpret_cast<Win32Backend*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    if (Win32Backend* backend = BackendOf(hwnd)) {
        bool handled = true;
        const intptr_t result = backend->HandleMessage(hwnd, msg, wParam, lParam, handled);
        if (handled) return result;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

unsigned ShiftOf(WPARAM keys) {
    unsigned shift = 0;
    if (keys & MK_SHIFT) shift |= ui::kShiftKey;
    if (keys & MK_CONTROL) shift |= ui::kCtrlKey;
    if (keys & MK_LBUTTON) shift |= ui::kLeftButton;
    if (keys & MK_RBUTTON) shift |= ui::kRightButton;
    if (keys & MK_MBUTTON) shift |= ui::kMiddleButton;
    if (GetKeyState(VK_MENU) < 0) shift |= ui::kAltKey;
    return shift;
}

unsigned KeyShift() {
    unsigned shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ui::kShiftKey;
    if (GetKeyState(VK_CONTROL) < 0) shift |= ui::kCtrlKey;
    if (GetKeyState(VK_MENU) < 0) shift |= ui::kAltKey;
    return shift;
}

LPCSTR CursorName(ui::Cursor cursor) {
    switch (cursor) {
        case ui::Cursor::HandPoint:
            return IDC_HAND;
        case ui::Cursor::IBeam:
            return IDC_IBEAM;
        case ui::Cursor::SizeAll:
            return IDC_SIZEALL;
        case ui::Cursor::Wait:
            return IDC_WAIT;
        case ui::Cursor::Cross:
            return IDC_CROSS;
        case ui::Cursor::Default:
        case ui::Cursor::Arrow:
            break;
    }
    return IDC_ARROW;
}

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The DPI of the monitor a window is on: GetDpiForWindow where the system has it (Windows 10
// from 1607 on), else the screen's, which older systems give every window alike.
unsigned DpiOf(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    using Proc = void (*)();
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<Proc>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpi && hwnd) {
        if (const UINT dpi = getDpi(hwnd)) return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<unsigned>(dpi) : 96;
}

// A device pixel in the coordinates of a factor, rounding down also left of and above the
// origin (a captured pointer, a monitor left of the primary).
int Down(int v, int factor) {
    return v >= 0 ? v / factor : -((-v + factor - 1) / factor);
}

int FactorOf(int setting, unsigned dpi) {
    return ui::WholeScale(setting, dpi / 96.0);
}

// The monitors in the coordinates of a factor, the primary first.
struct MonitorList {
    std::vector<ui::Monitor> monitors;
    int factor = 1;
};

// EnumDisplayMonitors' callback: each monitor into a MonitorList.
BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto& found = *reinterpret_cast<MonitorList*>(data);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoA(monitor, &info)) return TRUE;
    const auto in = [f = found.factor](const RECT& r) {
        return ui::Rect{Down(r.left, f), Down(r.top, f), Down(r.right, f), Down(r.bottom, f)};
    };
    const ui::Monitor m{in(info.rcMonitor), in(info.rcWork)};
    if (info.dwFlags & MONITORINFOF_PRIMARY) {
        found.monitors.insert(found.monitors.begin(), m);
    } else {
        found.monitors.push_back(m);
    }
    return TRUE;
}

// The tray's picture at the factor: a block of pixels for each, as the windows show theirs.
std::vector<uint32_t> ScaledIcon(int width, int height, const uint32_t* pixels, int factor) {
    std::vector<uint32_t> scaled(static_cast<size_t>(width) * static_cast<size_t>(height) *
                                 static_cast<size_t>(factor * factor));
    ui::CopyFramePartScaled(pixels, width, {0, 0, width, height},
                            reinterpret_cast<unsigned char*>(scaled.data()),
                            static_cast<ptrdiff_t>(width) * factor * 4, factor);
    return scaled;
}

}  // namespace

// The tray wants an icon handle: colour and mask bitmaps made from the pixel words.
HICON MakeIcon(int width, int height, const uint32_t* pixels) {
    if (!pixels || width <= 0 || height <= 0) return nullptr;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP color = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!color) return nullptr;
    // A word whose top byte is 0 is transparent: its mask bit is set and its colour black, so
    // the desktop shows through; every other pixel is shown as it is.
    const size_t stride = static_cast<size_t>((width + 15) / 16 * 2);
    std::vector<BYTE> maskBits(stride * static_cast<size_t>(height), 0);
    auto* colour = static_cast<uint32_t*>(bits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t at =
                static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
            if ((pixels[at] >> 24) == 0) {
                colour[at] = 0;
                maskBits[static_cast<size_t>(y) * stride + static_cast<size_t>(x / 8)] |=
                    static_cast<BYTE>(0x80 >> (x % 8));
            } else {
                colour[at] = pixels[at];
            }
        }
    }
    HBITMAP mask = CreateBitmap(width, height, 1, 1, maskBits.data());
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = color;
    info.hbmMask = mask;
    HICON result = CreateIconIndirect(&info);
    DeleteObject(color);
    DeleteObject(mask);
    return result;
}

Win32Backend::Win32Backend(const std::string& title, int scale) : scaleSetting_(scale) {
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = nullptr;  // WM_SETCURSOR decides
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kWindowClass;
    // A second backend in the same process finds the class registered already.
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw Error("RegisterClass failed");
    }
    appWindow_ =
        CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, Utf8ToAnsi(title).c_str(), WS_POPUP, 0, 0,
                        0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), this);
    if (!appWindow_) throw Error("CreateWindow failed");
    // The hidden window stands at 0,0: on the primary monitor.
    factor_ = FactorOf(scaleSetting_, DpiOf(appWindow_));
}

int Win32Backend::FromDevice(int v) const {
    return Down(v, factor_);
}

ui::Rect Win32Backend::FromDevice(const ui::Rect& r) const {
    return {FromDevice(r.left), FromDevice(r.top), FromDevice(r.right), FromDevice(r.bottom)};
}

int Win32Backend::WindowFactor(int window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? factor_ : it->second.factor;
}

Win32Backend::~Win32Backend() {
    HideTrayIcon();
    for (int id : std::vector<int>(timers_.begin(), timers_.end())) KillTimer(id);
    while (!windows_.empty()) DestroyWindow(windows_.begin()->first);
    SetWindowLongPtrA(appWindow_, GWLP_USERDATA, 0);
    ::DestroyWindow(appWindow_);
}

Win32Backend::Window* Win32Backend::Find(int window) {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

HWND Win32Backend::NativeWindow(int window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.hwnd;
}

int Win32Backend::WindowOf(HWND hwnd) const {
    for (const auto& [id, w] : windows_) {
        if (w.hwnd == hwnd) return id;
    }
    return 0;
}

int Win32Backend::CreateTopWindow(const ui::WindowStyle& style, const std::string& title) {
    DWORD exStyle = 0;
    if (style.topmost || style.popup) exStyle |= WS_EX_TOPMOST;
    if (style.toolWindow || style.popup) exStyle |= WS_EX_TOOLWINDOW;
    if (style.popup) exStyle |= WS_EX_NOACTIVATE;
    const int id = nextWindow_++;
    ++quiet_;
    // Owned by the hidden application window: an owned window never gets a taskbar button.
    HWND hwnd = CreateWindowExA(exStyle, kWindowClass, Utf8ToAnsi(title).c_str(), WS_POPUP, 0, 0, 0,
                                0, appWindow_, nullptr, GetModuleHandleA(nullptr), this);
    --quiet_;
    if (!hwnd) throw Error("CreateWindow failed");
    Window& made = windows_[id];
    made.hwnd = hwnd;
    made.style = style;
    made.factor = factor_;
    return id;
}

void Win32Backend::FreeBuffer(Window& w) {
    if (w.dc) {
        SelectObject(w.dc, w.oldBitmap);
        DeleteDC(w.dc);
    }
    if (w.dib) DeleteObject(w.dib);
    w.dc = nullptr;
    w.dib = nullptr;
    w.oldBitmap = nullptr;
    w.bits = nullptr;
    w.width = w.height = 0;
}

bool Win32Backend::MakeBuffer(Window& w, int width, int height) {
    FreeBuffer(w);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width * w.factor;
    bi.bmiHeader.biHeight = -height * w.factor;  // top-down, like the toolkit's rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    w.dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    w.dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!w.dib || !w.dc) {
        FreeBuffer(w);
        return false;
    }
    w.oldBitmap = static_cast<HBITMAP>(SelectObject(w.dc, w.dib));
    w.bits = static_cast<uint32_t*>(bits);
    w.width = width;
    w.height = height;
    return true;
}

void Win32Backend::DestroyWindow(int window) {
    Window* w = Find(window);
    if (!w) return;
    ++quiet_;
    HWND hwnd = w->hwnd;
    // Whatever it still reports is for a window the program has let go of.
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd);
    --quiet_;
    FreeBuffer(*w);
    windows_.erase(window);
    std::erase_if(queue_, [window](const ui::Event& e) { return e.window == window; });
}

void Win32Backend::SetTitle(int window, const std::string& title) {
    if (Window* w = Find(window)) SetWindowTextA(w->hwnd, Utf8ToAnsi(title).c_str());
}

void Win32Backend::SetBounds(int window, ui::Rect bounds) {
    Window* w = Find(window);
    if (!w) return;
    w->bounds = bounds;
    ApplyBounds(*w);
}

void Win32Backend::ApplyBounds(Window& w) {
    // The place in the toolkit's coordinates, the size at the window's own factor.
    ++quiet_;
    SetWindowPos(w.hwnd, nullptr, ToDevice(w.bounds.left), ToDevice(w.bounds.top),
                 w.bounds.Width() * w.factor, w.bounds.Height() * w.factor,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    --quiet_;
}

void Win32Backend::DpiChanged(Window& w, unsigned dpi) {
    const int factor = FactorOf(scaleSetting_, dpi);
    if (factor == w.factor) return;
    w.factor = factor;
    if (w.dib && MakeBuffer(w, w.width, w.height) && !w.frame.empty()) {
        ui::CopyFramePartScaled(w.frame.data(), w.width, {0, 0, w.width, w.height},
                                reinterpret_cast<unsigned char*>(w.bits),
                                static_cast<ptrdiff_t>(w.width) * w.factor * 4, w.factor);
    }
    // Where it is, at its new size: the system's suggestion would move it under the toolkit.
    ApplyBounds(w);
    InvalidateRect(w.hwnd, nullptr, FALSE);
}

void Win32Backend::ShowWindow(int window, bool visible, bool activate) {
    Window* w = Find(window);
    if (!w) return;
    ++quiet_;
    if (!visible) {
        ::ShowWindow(w->hwnd, SW_HIDE);
    } else if (activate && !w->style.popup) {
        ::ShowWindow(w->hwnd, SW_SHOW);
        SetForegroundWindow(w->hwnd);
    } else {
        ::ShowWindow(w->hwnd, SW_SHOWNOACTIVATE);
    }
    --quiet_;
}

void Win32Backend::Activate(int window) {
    Window* w = Find(window);
    if (!w || w->style.popup) return;
    ++quiet_;
    SetForegroundWindow(w->hwnd);
    SetActiveWindow(w->hwnd);
    --quiet_;
}

void Win32Backend::Present(int window, const uint32_t* pixels, int width, int height,
                           ui::Rect dirty) {
    Window* w = Find(window);
    if (!w || width <= 0 || height <= 0) return;
    if (w->width != width || w->height != height || !w->dib) {
        if (!MakeBuffer(*w, width, height)) return;
        w->frame.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        dirty = {0, 0, width, height};
    }
    dirty = ui::ClipToFrame(dirty, width, height);
    if (dirty.Width() == 0) return;
    GdiFlush();  // GDI may still be drawing into the section from an earlier call
    ui::CopyFramePart(pixels, width, dirty, reinterpret_cast<unsigned char*>(w->frame.data()),
                      static_cast<ptrdiff_t>(width) * 4);
    ui::CopyFramePartScaled(pixels, width, dirty, reinterpret_cast<unsigned char*>(w->bits),
                            static_cast<ptrdiff_t>(width) * w->factor * 4, w->factor);
    const ui::Rect shown = ui::ScaleRect(dirty, w->factor);
    RECT r{shown.left, shown.top, shown.right, shown.bottom};
    InvalidateRect(w->hwnd, &r, FALSE);
    ++quiet_;
    UpdateWindow(w->hwnd);  // the toolkit's Repaint means "show it now"
    --quiet_;
}

void Win32Backend::SetCapture(int window) {
    if (Window* w = Find(window)) ::SetCapture(w->hwnd);
}

void Win32Backend::ReleaseCapture() {
    ++quiet_;
    ::ReleaseCapture();
    --quiet_;
}

void Win32Backend::SetCursor(ui::Cursor cursor) {
    cursor_ = cursor;
    ::SetCursor(LoadCursorA(nullptr, CursorName(cursor)));
}

void Win32Backend::BeginSystemMove(int window, std::function<void(int, int)> done) {
    Window* w = Find(window);
    if (!w) return;
    HWND hwnd = w->hwnd;
    ::ReleaseCapture();
    // The system's own move loop runs inside this call until the button is let go; timers
    // and other messages go on being handled in it.
    SendMessageA(hwnd, WM_SYSCOMMAND, kMoveByMouse, 0);
    if (!Find(window)) return;
    RECT r{};
    GetWindowRect(hwnd, &r);
    if (Window* moved = Find(window)) {
        moved->bounds = {FromDevice(r.left), FromDevice(r.top),
                         FromDevice(r.left) + moved->bounds.Width(),
                         FromDevice(r.top) + moved->bounds.Height()};
    }
    if (done) done(FromDevice(r.left), FromDevice(r.top));
}

void Win32Backend::Queue(const ui::Event& event) {
    queue_.push_back(event);
    if (quiet_ == 0) Deliver();
}

void Win32Backend::Deliver() {
    while (!queue_.empty()) {
        const ui::Event event = queue_.front();
        queue_.pop_front();
        if (event.kind == ui::EventKind::Timer && !timers_.count(event.timer)) continue;
        if (sink_) sink_->HandleEvent(event);
    }
}

intptr_t Win32Backend::HandleMessage(HWND hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam,
                                     bool& handled) {
    if (hwnd == appWindow_) {
        switch (msg) {
            case kWakeMessage:
                return 0;  // the loop's caller runs what was posted
            case WM_TIMECHANGE:
                Queue(ui::Event{.kind = ui::EventKind::TimeChange});
                return 0;
            case WM_POWERBROADCAST:
                // Timers stood still while the computer slept; times of day did not.
                if (wParam == PBT_APMRESUMEAUTOMATIC) {
                    Queue(ui::Event{.kind = ui::EventKind::TimeChange});
                }
                return TRUE;
            case WM_TIMER:
                if (timers_.count(static_cast<int>(wParam))) {
                    Queue(
                        ui::Event{.kind = ui::EventKind::Timer, .timer = static_cast<int>(wParam)});
                }
                return 0;
            case kTrayMessage: {
                POINT p{};
                GetCursorPos(&p);
                ui::TrayMouse what;
                switch (static_cast<UINT>(lParam)) {
                    case WM_LBUTTONDOWN:
                        what = ui::TrayMouse::LeftDown;
                        break;
                    case WM_LBUTTONDBLCLK:
                        what = ui::TrayMouse::LeftDoubleClick;
                        break;
                    case WM_RBUTTONDOWN:
                        what = ui::TrayMouse::RightDown;
                        break;
                    default:
                        return 0;
                }
                Queue(ui::Event{.kind = ui::EventKind::Tray,
                                .x = FromDevice(p.x),
                                .y = FromDevice(p.y),
                                .tray = what});
                return 0;
            }
            default: {
                // Monitors came or went, or the task bar moved: the work areas changed.
                if (msg == WM_DISPLAYCHANGE ||
                    (msg == WM_SETTINGCHANGE && wParam == SPI_SETWORKAREA)) {
                    Queue(ui::Event{.kind = ui::EventKind::DisplayChange});
                }
                intptr_t result = 0;
                if (appHook_ && appHook_(msg, wParam, lParam, result)) return result;
                handled = false;
                return 0;
            }
        }
    }
    const int id = WindowOf(hwnd);
    Window* w = Find(id);
    if (!w) {
        handled = false;
        return 0;
    }
    const auto client = [f = w->factor](int v) { return Down(v, f); };
    auto mouse = [&](ui::EventKind kind, ui::MouseButton button, unsigned extra) {
        Queue(ui::Event{.kind = kind,
                        .window = id,
                        .x = client(GET_X_LPARAM(lParam)),
                        .y = client(GET_Y_LPARAM(lParam)),
                        .button = button,
                        .shift = ShiftOf(wParam) | extra});
    };
    switch (msg) {
        case WM_ERASEBKGND:
            return 0;  // the buffer covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (w->dc) {
                BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                       ps.rcPaint.bottom - ps.rcPaint.top, w->dc, ps.rcPaint.left, ps.rcPaint.top,
                       SRCCOPY);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            // Asked for a picture of the window (PrintWindow, the system's animations).
            if (w->dc) {
                BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, w->width * w->factor,
                       w->height * w->factor, w->dc, 0, 0, SRCCOPY);
            }
            return 0;
        case WM_MOUSEACTIVATE:
            if (w->style.popup) return MA_NOACTIVATE;
            handled = false;
            return 0;
        case WM_LBUTTONDOWN:
            mouse(ui::EventKind::MouseDown, ui::MouseButton::Left, 0);
            return 0;
        case WM_RBUTTONDOWN:
            mouse(ui::EventKind::MouseDown, ui::MouseButton::Right, 0);
            return 0;
        case WM_MBUTTONDOWN:
            mouse(ui::EventKind::MouseDown, ui::MouseButton::Middle, 0);
            return 0;
        case WM_LBUTTONDBLCLK:
            mouse(ui::EventKind::MouseDown, ui::MouseButton::Left, ui::kDoubleClick);
            return 0;
        case WM_RBUTTONDBLCLK:
            mouse(ui::EventKind::MouseDown, ui::MouseButton::Right, ui::kDoubleClick);
            return 0;
        case WM_MBUTTONDBLCLK:
            mouse(ui::EventKind::MouseDown, ui::MouseButton::Middle, ui::kDoubleClick);
            return 0;
        case WM_LBUTTONUP:
            mouse(ui::EventKind::MouseUp, ui::MouseButton::Left, 0);
            return 0;
        case WM_RBUTTONUP:
            mouse(ui::EventKind::MouseUp, ui::MouseButton::Right, 0);
            return 0;
        case WM_MBUTTONUP:
            mouse(ui::EventKind::MouseUp, ui::MouseButton::Middle, 0);
            return 0;
        case WM_MOUSEMOVE:
            if (!w->tracking) {
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd, 0};
                w->tracking = TrackMouseEvent(&tme) != FALSE;
            }
            mouse(ui::EventKind::MouseMove, ui::MouseButton::Left, 0);
            return 0;
        case WM_MOUSEWHEEL: {
            // The wheel reports the pointer on the screen; the toolkit wants it in the window.
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(hwnd, &p);
            Queue(ui::Event{.kind = ui::EventKind::MouseWheel,
                            .window = id,
                            .x = client(p.x),
                            .y = client(p.y),
                            .shift = ShiftOf(LOWORD(wParam)),
                            .wheel = GET_WHEEL_DELTA_WPARAM(wParam)});
            return 0;
        }
        case WM_MOUSELEAVE:
            w->tracking = false;
            Queue(ui::Event{.kind = ui::EventKind::MouseLeave, .window = id});
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                ::SetCursor(LoadCursorA(nullptr, CursorName(cursor_)));
                return TRUE;
            }
            handled = false;
            return 0;
        case WM_KEYDOWN:
            Queue(ui::Event{.kind = ui::EventKind::KeyDown,
                            .window = id,
                            .shift = KeyShift(),
                            .key = static_cast<ui::Key>(wParam)});
            return 0;
        case WM_SYSKEYDOWN:
            Queue(ui::Event{.kind = ui::EventKind::KeyDown,
                            .window = id,
                            .shift = KeyShift(),
                            .key = static_cast<ui::Key>(wParam)});
            handled = false;  // Alt+F4 still asks the window to close
            return 0;
        case WM_CHAR:
        case WM_SYSCHAR: {
            const char byte = static_cast<char>(wParam & 0xFF);
            const std::wstring wide = AnsiToWide(std::string_view(&byte, 1));
            if (wide.empty()) return 0;
            Queue(ui::Event{.kind = ui::EventKind::Char,
                            .window = id,
                            .shift = msg == WM_SYSCHAR ? ui::kAltKey : KeyShift(),
                            .ch = static_cast<char32_t>(wide[0])});
            return 0;  // no "no such menu" beep for an Alt+letter
        }
        case WM_ACTIVATE:
            Queue(ui::Event{.kind = LOWORD(wParam) == WA_INACTIVE ? ui::EventKind::Deactivate
                                                                  : ui::EventKind::Activate,
                            .window = id});
            return 0;
        case WM_CLOSE:
            Queue(ui::Event{.kind = ui::EventKind::CloseRequest, .window = id});
            return 0;  // the program decides whether it goes
        case WM_DPICHANGED:
            // Moved to a monitor of another scale (or that monitor's scale changed).
            DpiChanged(*w, LOWORD(wParam));
            return 0;
        default:
            handled = false;
            return 0;
    }
}

bool Win32Backend::DispatchPending() {
    const bool any = !queue_.empty();
    bool dispatched = false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to end the loop: the program ends it by closing its main form.
            continue;
        }
        dispatched = true;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    Deliver();
    return any || dispatched;
}

void Win32Backend::Wait(int ms) {
    if (!queue_.empty()) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, ms < 0 ? INFINITE : static_cast<DWORD>(ms), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
}

void Win32Backend::Wake() {
    PostMessageA(appWindow_, kWakeMessage, 0, 0);
}

int64_t Win32Backend::MonotonicMs() {
    // Counts the time the computer sleeps (the performance counter's behaviour there is the
    // hardware's), so a link that outlives a suspend is billed for it.
    return static_cast<int64_t>(GetTickCount64());
}

TDateTime Win32Backend::WallClock() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return EncodeDate(t.wYear, t.wMonth, t.wDay) +
           EncodeTime(t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

int Win32Backend::SetTimer(int intervalMs) {
    const int id = nextTimer_++;
    if (!::SetTimer(appWindow_, static_cast<UINT_PTR>(id),
                    static_cast<UINT>(std::max(intervalMs, 1)), nullptr)) {
        throw Error("SetTimer failed");
    }
    timers_.insert(id);
    return id;
}

void Win32Backend::KillTimer(int timer) {
    if (!timers_.erase(timer)) return;
    ::KillTimer(appWindow_, static_cast<UINT_PTR>(timer));
}

int Win32Backend::DoubleClickTime() {
    return static_cast<int>(GetDoubleClickTime());
}

int Win32Backend::ShowMessageBox(const std::string& text, const std::string& caption,
                                 unsigned flags) {
    // Owned by the program's active window, so that it stands above an always-on-top form.
    HWND owner = GetActiveWindow();
    if (!owner) owner = appWindow_;
    // Wide, so that Polish letters show whatever the system's code page.
    return MessageBoxW(owner, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), flags);
}

void Win32Backend::Beep(int type) {
    MessageBeep(static_cast<UINT>(type));
}

ui::Rect Win32Backend::ScreenRect() {
    return FromDevice(ui::Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

ui::Rect Win32Backend::WorkArea() {
    RECT r{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) return ScreenRect();
    return FromDevice(ui::Rect{r.left, r.top, r.right, r.bottom});
}

std::vector<ui::Monitor> Win32Backend::Monitors() {
    MonitorList found{{}, factor_};
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&found));
    if (found.monitors.empty()) found.monitors.push_back({ScreenRect(), WorkArea()});
    return found.monitors;
}

int Win32Backend::TrackPopupMenu(const std::vector<ui::MenuEntry>& entries, int x, int y) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        if (e.caption == "-") {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            // Wide: a caption keeps its letters whatever the ANSI code page lacks.
            AppendMenuW(menu, MF_STRING | (e.enabled ? 0u : MF_GRAYED), i + 1,
                        Utf8ToWide(e.caption).c_str());
        }
    }
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(appWindow_);
    const int chosen = ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                        ToDevice(x), ToDevice(y), 0, appWindow_, nullptr);
    PostMessageA(appWindow_, WM_NULL, 0, 0);
    DestroyMenu(menu);
    return chosen > 0 ? chosen - 1 : -1;
}

namespace {

// The record of the backend's own icon, in the first version's size that every shell
// understands, with the tip in the ANSI code page.
NOTIFYICONDATAA TrayRecord(HWND owner, unsigned flags, const std::string& tipUtf8) {
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = owner;
    nid.uID = kTrayId;
    nid.uFlags = flags;
    const std::string tip = Utf8ToAnsi(tipUtf8).substr(0, sizeof(nid.szTip) - 1);
    std::memcpy(nid.szTip, tip.c_str(), tip.size() + 1);
    return nid;
}

}  // namespace

void Win32Backend::ShowTrayIcon(const ui::TrayIcon& icon) {
    const bool whole = icon.pixels.size() >= static_cast<size_t>(std::max(icon.width, 0)) *
                                                 static_cast<size_t>(std::max(icon.height, 0));
    HICON made = nullptr;
    if (whole && !icon.pixels.empty()) {
        const std::vector<uint32_t> scaled =
            ScaledIcon(icon.width, icon.height, icon.pixels.data(), factor_);
        made = MakeIcon(icon.width * factor_, icon.height * factor_, scaled.data());
    }
    NOTIFYICONDATAA nid = TrayRecord(appWindow_, NIF_MESSAGE | NIF_ICON | NIF_TIP, icon.tip);
    nid.uCallbackMessage = kTrayMessage;
    nid.hIcon = made ? made : LoadIconA(nullptr, IDI_APPLICATION);
    Shell_NotifyIconA(trayShown_ ? NIM_MODIFY : NIM_ADD, &nid);
    trayShown_ = true;
    if (trayIcon_) DestroyIcon(trayIcon_);
    trayIcon_ = made;
}

void Win32Backend::SetTrayTip(const std::string& tip) {
    if (!trayShown_) return;
    NOTIFYICONDATAA nid = TrayRecord(appWindow_, NIF_TIP, tip);
    Shell_NotifyIconA(NIM_MODIFY, &nid);
}

void Win32Backend::HideTrayIcon() {
    if (trayShown_) {
        NOTIFYICONDATAA nid = TrayRecord(appWindow_, 0, {});
        Shell_NotifyIconA(NIM_DELETE, &nid);
        trayShown_ = false;
    }
    if (trayIcon_) DestroyIcon(trayIcon_);
    trayIcon_ = nullptr;
}

std::string Win32Backend::ClipboardText() {
    if (!OpenClipboard(appWindow_)) return {};
    // The Unicode format: the system makes the ANSI one for older programs, not the reverse
    // without loss.
    std::string text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = WideToUtf8(p);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void Win32Backend::SetClipboardText(const std::string& text) {
    const std::wstring wide = Utf8ToWide(text);
    if (!OpenClipboard(appWindow_)) return;
    EmptyClipboard();
    const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        std::memcpy(GlobalLock(mem), wide.c_str(), bytes);
        GlobalUnlock(mem);
        if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
    }
    CloseClipboard();
}

namespace {

// The shell's tray through the owner window's procedure, taken over by NotifyIconHook.
class HookedTray : public ui::TrayIconHost {
  public:
    // `balloons` is where the backend looks for the icon that shows its notifications: this
    // one from now on, until it goes.
    HookedTray(unsigned iconId, NotifyIconHook*& balloons, int factor)
        : hook_(iconId), balloons_(balloons), factor_(factor) {
        balloons_ = &hook_;
        hook_.OnMouse = [this](unsigned mouseMessage) {
            int x = 0;
            int y = 0;
            NotifyIconHook::CursorPos(x, y);
            if (OnMouse) {
                OnMouse(static_cast<ui::TrayMessage>(mouseMessage), Down(x, factor_),
                        Down(y, factor_));
            }
        };
    }
    ~HookedTray() override {
        if (balloons_ == &hook_) balloons_ = nullptr;
    }
    HookedTray(const HookedTray&) = delete;
    HookedTray& operator=(const HookedTray&) = delete;
    bool Attach(HWND owner) { return hook_.Attach(owner); }
    void SetIcon(int width, int height, const uint32_t* pixels) override {
        if (!pixels || width <= 0 || height <= 0 || factor_ == 1) {
            hook_.SetIcon(width, height, pixels);
            return;
        }
        const std::vector<uint32_t> scaled = ScaledIcon(width, height, pixels, factor_);
        hook_.SetIcon(width * factor_, height * factor_, scaled.data());
    }
    void Notify(ui::TrayCall call, unsigned parts, const std::string& tip) override {
        hook_.Notify(static_cast<unsigned>(call), parts, tip);
    }
    unsigned CallbackMessage() const override { return NotifyIconHook::CallbackMessage(); }
    int DoubleClickTime() const override { return NotifyIconHook::DoubleClickTime(); }

  private:
    NotifyIconHook hook_;
    NotifyIconHook*& balloons_;
    int factor_;
};

}  // namespace

std::unique_ptr<ui::TrayIconHost> Win32Backend::AttachNativeTray(int window, unsigned iconId) {
    auto tray = std::make_unique<HookedTray>(iconId, balloonIcon_, factor_);
    if (!tray->Attach(NativeWindow(window))) {
        throw Error("the window procedure of the tray icon's owner cannot be taken over");
    }
    return tray;
}

bool Win32Backend::ShowNotification(const ui::Notification& notification) {
    return balloonIcon_ && balloonIcon_->Balloon(notification.title, notification.text);
}

bool Win32Backend::ShowTaskbarButton(bool show) {
    // The taskbar button is the application window's: our forms are owned by it.
    NotifyIconHook::ShowApplicationWindow(appWindow_, show);
    return true;
}

}  // namespace tt::win32
