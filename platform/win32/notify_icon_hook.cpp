#include "platform/win32/notify_icon_hook.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <utility>

#include "base/code_page.h"

#include "platform/win32/win32_backend.h"

namespace tt::win32 {

namespace {

static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the first version of the shell's record");

// A window procedure knows only its window, and several icons may hook the same one: each hook
// gets a procedure of its own from a fixed set of places, so a procedure knows its hook.
constexpr int kPlaces = 16;
std::array<NotifyIconHook*, kPlaces> gPlaces{};
// A hook released while a newer one sits in front of it cannot take its procedure out of the
// window: its place stays, passing everything on to the procedure before it, until the newer
// hook's release skips it.
std::array<LONG, kPlaces> gForwards{};

bool PlaceTaken(size_t place) {
    return gPlaces[place] != nullptr || gForwards[place] != 0;
}

template <int N>
LRESULT CALLBACK PlaceProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (NotifyIconHook* hook = gPlaces[N]) return hook->HandleMessage(hwnd, msg, wParam, lParam);
    if (gForwards[N] != 0) {
        return CallWindowProcA(reinterpret_cast<WNDPROC>(gForwards[N]), hwnd, msg, wParam, lParam);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

template <int... N>
constexpr std::array<WNDPROC, kPlaces> MakePlaceProcs(std::integer_sequence<int, N...>) {
    return {&PlaceProc<N>...};
}
constexpr std::array<WNDPROC, kPlaces> kPlaceProcs =
    MakePlaceProcs(std::make_integer_sequence<int, kPlaces>{});

}  // namespace

unsigned NotifyIconHook::CallbackMessage() {
    // The system hands out the same number for the same name, every time.
    static const unsigned message = RegisterWindowMessageA("ICO.TNotifyIconMsg");
    return message;
}

unsigned NotifyIconHook::TaskbarCreatedMessage() {
    static const unsigned message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

NotifyIconHook::NotifyIconHook(unsigned iconId) : iconId_(iconId) {
    defaultIcon_ = LoadIconA(nullptr, MAKEINTRESOURCEA(32517));
    CallbackMessage();
    TaskbarCreatedMessage();
}

NotifyIconHook::~NotifyIconHook() {
    if (slot_ >= 0) {
        const auto place = static_cast<size_t>(slot_);
        gPlaces[place] = nullptr;
        // Places of hooks released earlier that sit just behind this one go with it.
        LONG previous = previous_;
        for (bool skipped = true; skipped;) {
            skipped = false;
            for (size_t p = 0; p < kPlaces; ++p) {
                if (gForwards[p] != 0 && previous == reinterpret_cast<LONG>(kPlaceProcs[p])) {
                    previous = std::exchange(gForwards[p], 0);
                    skipped = true;
                }
            }
        }
        const bool inFront = IsWindow(owner_) && GetWindowLongA(owner_, GWL_WNDPROC) ==
                                                     reinterpret_cast<LONG>(kPlaceProcs[place]);
        if (inFront) {
            SetWindowLongA(owner_, GWL_WNDPROC, previous);
        } else if (IsWindow(owner_)) {
            gForwards[place] = previous;
        }
    }
    if (icon_) DestroyIcon(icon_);
}

void NotifyIconHook::SetIcon(int width, int height, const uint32_t* pixels) {
    if (icon_) DestroyIcon(icon_);
    icon_ = MakeIcon(width, height, pixels);
}

bool NotifyIconHook::Attach(HWND owner) {
    if (previous_ != 0) return true;
    int slot = -1;
    for (int i = 0; i < kPlaces; ++i) {
        if (!PlaceTaken(static_cast<size_t>(i))) {
            slot = i;
            break;
        }
    }
    if (slot < 0 || !owner) return false;
    gPlaces[static_cast<size_t>(slot)] = this;
    owner_ = owner;
    const LONG previous = SetWindowLongA(
        owner, GWL_WNDPROC, reinterpret_cast<LONG>(kPlaceProcs[static_cast<size_t>(slot)]));
    if (previous == 0) {
        gPlaces[static_cast<size_t>(slot)] = nullptr;
        owner_ = nullptr;
        return false;
    }
    previous_ = previous;
    slot_ = slot;
    return true;
}

long NotifyIconHook::HandleMessage(HWND hwnd, unsigned msg, unsigned wParam, long lParam) {
    if (msg == CallbackMessage() && wParam == iconId_) {
        if (OnMouse) OnMouse(static_cast<unsigned>(lParam));
        return 0;  // the shell's notification is ours alone
    }
    if (msg == TaskbarCreatedMessage() && shown_) {
        // The shell (Explorer) started again and knows no icon: ours goes back in. The message
        // goes on to the form as well; other icons on it may want it too.
        Notify(kAdd, kFlagMessage | kFlagIcon | kFlagTip, tip_);
    }
    return CallWindowProcA(reinterpret_cast<WNDPROC>(previous_), hwnd, msg, wParam, lParam);
}

// The first version's record, in its ANSI or wide form, all but the tip.
template <typename Record>
Record NotifyIconHook::RecordOf(unsigned size, unsigned flags) const {
    Record nid{};
    nid.cbSize = size;
    nid.hWnd = owner_;
    nid.uID = iconId_;
    nid.uFlags = flags;
    nid.uCallbackMessage = CallbackMessage();
    nid.hIcon = icon_ ? icon_ : defaultIcon_;
    return nid;
}

bool NotifyIconHook::Notify(unsigned operation, unsigned flags, const std::string& tipUtf8) {
    const std::string ansi = Utf8ToAnsi(tipUtf8);
    bool done = false;
    if (AnsiToUtf8(ansi) == tipUtf8) {
        auto nid = RecordOf<NOTIFYICONDATAA>(NOTIFYICONDATAA_V1_SIZE, flags);
        const std::string tip = ansi.substr(0, sizeof(nid.szTip) - 1);
        std::memcpy(nid.szTip, tip.c_str(), tip.size() + 1);
        done = Shell_NotifyIconA(operation, &nid) != FALSE;
    } else {
        // Letters the ANSI code page lacks (the "ł" of "zł" outside Central Europe) would show
        // as others: the same record in its wide form, with as many characters.
        auto wide = RecordOf<NOTIFYICONDATAW>(NOTIFYICONDATAW_V1_SIZE, flags);
        std::wstring tip = Utf8ToWide(tipUtf8).substr(0, std::size(wide.szTip) - 1);
        // Never half of a pair of surrogates at the cut.
        if (!tip.empty() && tip.back() >= 0xD800 && tip.back() < 0xDC00) tip.pop_back();
        std::memcpy(wide.szTip, tip.c_str(), (tip.size() + 1) * sizeof(wchar_t));
        done = Shell_NotifyIconW(operation, &wide) != FALSE;
    }
    if (operation == kAdd) {
        ++adds_;
        shown_ = true;
    } else if (operation == kDelete) {
        shown_ = false;
    }
    if (flags & kFlagTip) tip_ = tipUtf8;
    return done;
}

bool NotifyIconHook::Balloon(const std::string& titleUtf8, const std::string& textUtf8) {
    if (!shown_ || !owner_) return false;
    NOTIFYICONDATAW nid{};
    nid.cbSize = NOTIFYICONDATAW_V2_SIZE;
    nid.hWnd = owner_;
    nid.uID = iconId_;
    nid.uFlags = NIF_INFO;
    nid.uTimeout = 10000;  // the shell keeps it at least as long as the user is away
    nid.dwInfoFlags = NIIF_INFO;
    const auto copy = [](const std::string& utf8, auto& field) {
        const std::wstring wide = Utf8ToWide(utf8).substr(0, std::size(field) - 1);
        std::copy(wide.begin(), wide.end(), field);
        field[wide.size()] = L'\0';
    };
    copy(titleUtf8, nid.szInfoTitle);
    copy(textUtf8, nid.szInfo);
    return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

void NotifyIconHook::BringOwnerToFront() const {
    if (owner_) SetForegroundWindow(owner_);
}

void NotifyIconHook::CursorPos(int& x, int& y) {
    POINT p{};
    GetCursorPos(&p);
    x = p.x;
    y = p.y;
}

int NotifyIconHook::DoubleClickTime() {
    return static_cast<int>(GetDoubleClickTime());
}

void NotifyIconHook::ShowApplicationWindow(HWND appWindow, bool show) {
    ::ShowWindow(appWindow, show ? SW_SHOWNORMAL : SW_HIDE);
}

}  // namespace tt::win32
