#include "platform/headless/headless_driver.h"

#include <map>

#include "base/error.h"
#include "toolkit/form.h"
#include "toolkit/gfx/png.h"
#include "toolkit/stdctrls.h"

namespace tt {

namespace {

ui::MouseButton ToBackend(TMouseButton b) {
    switch (b) {
        case TMouseButton::mbRight:
            return ui::MouseButton::Right;
        case TMouseButton::mbMiddle:
            return ui::MouseButton::Middle;
        default:
            return ui::MouseButton::Left;
    }
}

}  // namespace

TForm& HeadlessDriver::FindForm(std::string_view name) const {
    TForm* form = app_.FindForm(name);
    if (!form) throw Error("no form " + std::string(name));
    return *form;
}

TControl& HeadlessDriver::Find(std::string_view path) const {
    const size_t dot = path.find('.');
    TForm& form = FindForm(path.substr(0, dot));
    if (dot == std::string_view::npos) return form;
    TControl* control = form.FindControl(path.substr(dot + 1));
    if (!control) throw Error("no control " + std::string(path));
    return *control;
}

TComponent& HeadlessDriver::FindComponent(std::string_view path) const {
    const size_t dot = path.find('.');
    TForm& form = FindForm(path.substr(0, dot));
    if (dot == std::string_view::npos) return form;
    const std::string_view name = path.substr(dot + 1);
    std::vector<const TComponent*> stack{&form};
    while (!stack.empty()) {
        const TComponent* c = stack.back();
        stack.pop_back();
        for (int i = 0; i < c->ComponentCount(); ++i) {
            if (c->Component(i)->Name() == name) return *c->Component(i);
            stack.push_back(c->Component(i));
        }
    }
    throw Error("no component " + std::string(path));
}

std::string HeadlessDriver::Property(std::string_view path, std::string_view name) const {
    return FindComponent(path).GetProperty(name);
}

void HeadlessDriver::SetProperty(std::string_view path, std::string_view name,
                                 std::string_view text) {
    FindComponent(path).SetProperty(name, text);
    app_.ProcessMessages();
}

void HeadlessDriver::AnswerMessageBox(std::string_view answer) {
    static const std::map<std::string_view, int> answers{
        {"ok", ui::kIdOk}, {"cancel", ui::kIdCancel}, {"yes", ui::kIdYes}, {"no", ui::kIdNo}};
    auto it = answers.find(answer);
    if (it == answers.end()) throw Error("unknown answer " + std::string(answer));
    backend_.QueueMessageBoxAnswer(it->second);
}

HeadlessDriver::Target HeadlessDriver::Locate(std::string_view path, int x, int y) const {
    TControl& control = Find(path);
    TForm* form = control.ParentForm();
    if (!form || !form->Visible() || !form->WindowId()) {
        throw Error("form of " + std::string(path) + " is not shown");
    }
    return {form->WindowId(), control.ClientToForm({x, y})};
}

void HeadlessDriver::Press(std::string_view path, int x, int y, TMouseButton button,
                           TShiftState shift) {
    const Target t = Locate(path, x, y);
    backend_.MouseDown(t.window, t.at.X, t.at.Y, ToBackend(button), shift);
}

void HeadlessDriver::Move(std::string_view path, int x, int y, TShiftState shift) {
    const Target t = Locate(path, x, y);
    backend_.MouseMove(t.window, t.at.X, t.at.Y, shift);
}

void HeadlessDriver::Wheel(std::string_view path, int x, int y, int delta) {
    const Target t = Locate(path, x, y);
    backend_.MouseWheel(t.window, t.at.X, t.at.Y, delta);
}

void HeadlessDriver::Release(std::string_view path, int x, int y, TMouseButton button,
                             TShiftState shift) {
    const Target t = Locate(path, x, y);
    backend_.MouseUp(t.window, t.at.X, t.at.Y, ToBackend(button), shift);
}

void HeadlessDriver::Click(std::string_view path, int x, int y, TShiftState shift) {
    // Resolved once: the click may move or hide what was clicked.
    const Target t = Locate(path, x, y);
    backend_.MouseMove(t.window, t.at.X, t.at.Y, shift);
    backend_.MouseDown(t.window, t.at.X, t.at.Y, ui::MouseButton::Left, shift);
    backend_.MouseUp(t.window, t.at.X, t.at.Y, ui::MouseButton::Left, shift);
}

void HeadlessDriver::DblClick(std::string_view path, int x, int y) {
    const Target t = Locate(path, x, y);
    backend_.MouseMove(t.window, t.at.X, t.at.Y);
    for (int i = 0; i < 2; ++i) {
        backend_.MouseDown(t.window, t.at.X, t.at.Y, ui::MouseButton::Left);
        backend_.MouseUp(t.window, t.at.X, t.at.Y, ui::MouseButton::Left);
    }
}

void HeadlessDriver::Key(int vk, TShiftState shift) {
    if (backend_.ActiveWindow() == 0) throw Error("no active window takes the key");
    backend_.KeyDown(vk, shift);
    // The characters the platform makes of a few keys.
    if (vk == VK_SPACE && !(shift & (ssCtrl | ssAlt))) backend_.Char(U' ', shift);
    if (vk == VK_RETURN) backend_.Char(U'\r', shift);
    if (vk == VK_ESCAPE) backend_.Char(U'\x1b', shift);
    if (((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) && (shift & ssAlt)) {
        backend_.Char(static_cast<char32_t>(vk >= 'A' && vk <= 'Z' ? vk + 32 : vk), shift);
    }
}

void HeadlessDriver::Key(std::string_view name) {
    TShiftState shift = 0;
    for (;;) {
        if (name.starts_with("Shift+")) {
            shift |= ssShift;
            name.remove_prefix(6);
        } else if (name.starts_with("Ctrl+")) {
            shift |= ssCtrl;
            name.remove_prefix(5);
        } else if (name.starts_with("Alt+")) {
            shift |= ssAlt;
            name.remove_prefix(4);
        } else {
            break;
        }
    }
    static const std::map<std::string_view, int> names{
        {"Tab", VK_TAB},       {"Enter", VK_RETURN}, {"Esc", VK_ESCAPE},  {"Back", VK_BACK},
        {"Delete", VK_DELETE}, {"Left", VK_LEFT},    {"Right", VK_RIGHT}, {"Up", VK_UP},
        {"Down", VK_DOWN},     {"Home", VK_HOME},    {"End", VK_END},     {"PgUp", VK_PRIOR},
        {"PgDn", VK_NEXT},     {"F4", VK_F4},        {"Space", VK_SPACE}};
    if (auto it = names.find(name); it != names.end()) return Key(it->second, shift);
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
        return Key(std::toupper(static_cast<unsigned char>(name[0])), shift);
    }
    throw Error("unknown key " + std::string(name));
}

void HeadlessDriver::Type(std::string_view text) {
    if (backend_.ActiveWindow() == 0) throw Error("no active window takes the text");
    for (char32_t c : DecodeUtf8(text)) backend_.Char(c);
}

void HeadlessDriver::Select(std::string_view path, std::string_view item) {
    TControl& control = Find(path);
    auto find = [item](const auto& items) {
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i] == item) return static_cast<int>(i);
        }
        throw Error("no item \"" + std::string(item) + "\"");
    };
    if (auto* combo = dynamic_cast<TComboBox*>(&control)) {
        const int index = find(combo->Items());
        if (!combo->DroppedDown()) Click(path, 2, combo->Height() / 2);
        if (!combo->DroppedDown()) throw Error(std::string(path) + " did not open its list");
        if (combo->ListItemShown(index)) {
            const TRect r = combo->ListItemRect(index);
            Click(path, r.Left + 2, (r.Top + r.Bottom) / 2);
            return;
        }
        while (combo->DroppedDown() && combo->HotIndex() != index) {
            Key(combo->HotIndex() < index ? VK_DOWN : VK_UP);
        }
        Key(VK_RETURN);
        return;
    }
    if (auto* list = dynamic_cast<TListBox*>(&control)) {
        const int index = find(list->Items());
        if (index < list->TopIndex() || index >= list->TopIndex() + list->VisibleRows()) {
            list->SetTopIndex(index);
        }
        const TRect r = list->ItemRect(index);
        Click(path, r.Left + 1, (r.Top + r.Bottom) / 2);
        return;
    }
    throw Error(std::string(path) + " has no items to select");
}

TPoint HeadlessDriver::TrayPoint() const {
    const ui::Rect s = backend_.ScreenRect();
    return {s.right - 40, s.bottom - 10};
}

void HeadlessDriver::TrayClick() {
    const TPoint p = TrayPoint();
    backend_.TrayInput(ui::TrayMouse::LeftDown, p.X, p.Y);
}

void HeadlessDriver::TrayDblClick() {
    const TPoint p = TrayPoint();
    backend_.TrayInput(ui::TrayMouse::LeftDown, p.X, p.Y);
    backend_.TrayInput(ui::TrayMouse::LeftDoubleClick, p.X, p.Y);
}

void HeadlessDriver::TrayMenu(std::string_view caption) {
    if (!backend_.Tray()) throw Error("no tray icon");
    const TPoint p = TrayPoint();
    backend_.QueueMenuChoice(std::string(caption));
    backend_.TrayInput(ui::TrayMouse::RightDown, p.X, p.Y);
}

Bitmap HeadlessDriver::Snapshot(std::string_view name) const {
    const TForm& form = FindForm(name);
    const auto* window = backend_.WindowInfo(form.WindowId());
    if (!window || window->width == 0) throw Error("form " + std::string(name) + " never shown");
    Bitmap shot(window->width, window->height);
    std::copy(window->pixels.begin(), window->pixels.end(), shot.Bits());
    return shot;
}

void HeadlessDriver::SavePng(std::string_view form, const std::string& path, int zoom) const {
    WritePng(Snapshot(form), path, zoom);
}

}  // namespace tt
