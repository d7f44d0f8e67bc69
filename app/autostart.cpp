#include "app/autostart.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

#include "base/error.h"

namespace tt {

std::filesystem::path XdgAutostartFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // A relative value is invalid and to be ignored.
    if (config && *config == '/') return std::filesystem::path(config) / "autostart";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::filesystem::path(home) / ".config" / "autostart";
    return {};
}

std::string DesktopExecLine(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) {
        if (!line.empty()) line += ' ';
        const bool plain =
            !arg.empty() && arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos;
        if (plain) {
            line += arg;
            continue;
        }
        line += '"';
        for (const char c : arg) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') line += '\\';
            // "%" starts a field code anywhere in the line, quoted or not.
            line += c == '%' ? std::string("%%") : std::string(1, c);
        }
        line += '"';
    }
    // The desktop file's own escapes come on top of the Exec quoting: a backslash is doubled.
    std::string escaped;
    for (const char c : line) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

std::string AutostartEntry(const std::vector<std::string>& args) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Taktomat 2000\n"
           "Comment=Pulse meter for dial-up connections\n"
           "Exec=" +
           DesktopExecLine(args) +
           "\n"
           "Icon=taktomat\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

void SetAutostart(const std::filesystem::path& folder, bool on,
                  const std::vector<std::string>& args) {
    const std::filesystem::path file = folder / "taktomat.desktop";
    std::error_code ec;
    if (!on) {
        std::filesystem::remove(file, ec);
        if (ec) throw Error("Nie można usunąć pliku " + file.string() + ": " + ec.message());
        return;
    }
    std::filesystem::create_directories(folder, ec);
    if (ec) throw Error("Nie można zapisać pliku " + file.string() + ": " + ec.message());
    const std::filesystem::path temporary = file.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << AutostartEntry(args);
        out.flush();
        if (!out) throw Error("Nie można zapisać pliku " + file.string());
    }
    std::filesystem::rename(temporary, file, ec);
    if (ec) throw Error("Nie można zapisać pliku " + file.string() + ": " + ec.message());
}

}  // namespace tt
