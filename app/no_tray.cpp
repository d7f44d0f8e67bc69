#include "app/no_tray.h"

#include "app/u_taktomat.h"
#include "toolkit/application.h"

namespace tt {

void WatchForMissingTray(TfrmTaktomat& main) {
    if (Application::Current().Backend().TrayAvailable()) return;
    auto* grace = new TTimer(&main);  // owned by the main window
    grace->SetName("tmrNoTray");
    grace->SetEnabled(false);
    grace->SetInterval(kTrayGraceMs);
    grace->OnTimer = [&main, grace](TComponent*) {
        grace->SetEnabled(false);
        Application& app = Application::Current();
        if (app.Backend().TrayAvailable()) return;
        // A taskbar button is the way back to the window where no tray icon is ("Ukryj").
        main.nIcon->SetHideTask(false);
        main.nIconClick(&main);
        app.ShowMessageBox(kNoTrayText, app.Title(), ui::kMbOk | ui::kMbIconInformation);
    };
    grace->SetEnabled(true);
}

}  // namespace tt
