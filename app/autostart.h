#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace tt {

// Starting with the desktop session, the freedesktop way: a .desktop file in the user's
// autostart folder, which the session starts at log-in.

// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when that is not set (as the XDG base
// directory rules have it); empty when neither can be found.
std::filesystem::path XdgAutostartFolder();

// The command line `args` as the Exec key of a desktop entry wants it: each argument quoted
// where it needs to be, with the characters that are special inside quotes escaped.
std::string DesktopExecLine(const std::vector<std::string>& args);

// The whole autostart entry that starts `args`.
std::string AutostartEntry(const std::vector<std::string>& args);

// Writes (on) or removes (off) "taktomat.desktop" in `folder`, making the folder when needed.
// Removing an entry that is not there is no error. Throws tt::Error with the file's path when
// it cannot be written or removed.
void SetAutostart(const std::filesystem::path& folder, bool on,
                  const std::vector<std::string>& args);

}  // namespace tt
