#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/backend.h"

namespace tt {

class Application;

// The notification area as the Windows shell keeps it, played for backends that show one icon
// over ShowTrayIcon and report its input as TrayMouse (Qt, headless). Icons register with it as
// they would with the Windows shell: a second add is refused, a modify or delete of an icon not
// added does nothing, the first icon added is the one shown, and its input comes back to it as
// the shell's pointer messages.
class StandInTray {
  public:
    explicit StandInTray(Application& app);
    ~StandInTray();
    StandInTray(const StandInTray&) = delete;
    StandInTray& operator=(const StandInTray&) = delete;

    // The callback message every icon is told about, from the range of registered messages.
    static constexpr unsigned kCallbackMessage = 0xC000;

    std::unique_ptr<ui::TrayIconHost> Attach();

  private:
    class Icon;
    void Notify(Icon& icon, ui::TrayCall call);
    void Forget(Icon& icon);
    void ShowFirst();

    Application& app_;
    std::vector<Icon*> added_;  // in the order they were added; the first one is shown
};

}  // namespace tt
