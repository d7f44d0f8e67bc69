#pragma once

namespace tt {

class TfrmTaktomat;

// How long a desktop may take to bring up its notification area after the program started
// with the session, before the program stops waiting for it.
inline constexpr int kTrayGraceMs = 2000;
inline constexpr char kNoTrayText[] =
    "Pulpit nie ma obszaru powiadomień (zasobnika systemowego), więc Taktomat 2000 działa bez "
    "ikony w zasobniku: jego okno zostaje w rogu ekranu. Ikona pojawi się, gdy zasobnik się "
    "pojawi.";

// Without a notification area (GNOME's default, a bare X session) the tray icon is the way into
// a program that starts hidden, so nothing would show at all. Asks the desktop now and again
// after the grace time; when there is still none, shows the main window in its corner and says
// once why; the windows get taskbar buttons then, which "Ukryj" leaves them. The icon itself
// stays asked for, so it appears when a tray comes later.
void WatchForMissingTray(TfrmTaktomat& main);

}  // namespace tt
