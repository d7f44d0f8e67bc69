#include "toolkit/menus.h"

#include "toolkit/application.h"

namespace tt {

const PropertyTable& TMenuItem::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TComponent::ClassProperties());
        t.Add("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption);
        t.Add("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled);
        return t;
    }();
    return table;
}

void TPopupMenu::Popup(int x, int y) {
    Application& app = Application::Current();
    app.CancelHint();
    std::vector<ui::MenuEntry> entries;
    for (TMenuItem* item : items_) entries.push_back({item->Caption(), item->Enabled()});
    const int chosen = app.Backend().TrackPopupMenu(entries, x, y);
    if (chosen < 0 || chosen >= Count()) return;
    TMenuItem* item = items_[static_cast<size_t>(chosen)];
    if (item->IsSeparator() || !item->Enabled()) return;
    TNotifyEvent handler = item->OnClick;
    if (handler) handler(item);
}

}  // namespace tt
