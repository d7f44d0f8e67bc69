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

void HeadlessDriver::Key(ui::Key key, TShiftState shift) {
    if (backend_.ActiveWindow() == 0) throw Error("no active window takes the key");
    backend_.KeyDown(key, shift);
    // The characters the platform makes of a few keys.
    if (key == ui::kKeySpace && !(shift & (ssCtrl | ssAlt))) backend_.Char(U' ', shift);
    if (key == ui::kKeyReturn) backend_.Char(U'\r', shift);
    if (key == ui::kKeyEscape) backend_.Char(U'\x1b', shift);
    const bool letter = key >= ui::kKeyA && key <= ui::kKeyZ;
    if ((letter || (key >= ui::kKey0 && key <= ui::kKey9)) && (shift & ssAlt)) {
        // Their codes are their characters, the letters in upper case.
        const char32_t code = static_cast<char32_t>(key);
        backend_.Char(letter ? code - U'A' + U'a' : code, shift);
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
    static const std::map<std::string_view, ui::Key> names{
        {"Tab", ui::kKeyTab},       {"Enter", ui::kKeyReturn},  {"Esc", ui::kKeyEscape},
        {"Back", ui::kKeyBack},     {"Delete", ui::kKeyDelete}, {"Left", ui::kKeyLeft},
        {"Right", ui::kKeyRight},   {"Up", ui::kKeyUp},         {"Down", ui::kKeyDown},
        {"Home", ui::kKeyHome},     {"End", ui::kKeyEnd},       {"PgUp", ui::kKeyPageUp},
        {"PgDn", ui::kKeyPageDown}, {"F4", ui::kKeyF4},         {"Space", ui::kKeySpace}};
    if (auto it = names.find(name); it != names.end()) return Key(it->second, shift);
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
        // The codes of digits and letters are their characters, the letters in upper case.
        return Key(static_cast<ui::Key>(std::toupper(static_cast<unsigned char>(name[0]))), shift);
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
            Key(combo->HotIndex() < index ? ui::kKeyDown : ui::kKeyUp);
        }
        Key(ui::kKeyReturn);
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
    Bitmap shot(window->width * window->scale, window->height * window->scale);
    std::copy(window->pixels.begin(), window->pixels.end(), shot.Bits());
    return shot;
}

void HeadlessDriver::SavePng(std::string_view form, const std::string& path, int zoom) const {
    WritePng(Snapshot(form), path, zoom);
}

}  // namespace tt
