// The program on Linux: Qt shows its windows and tray icon. Without a display it says so and
// names taktomat-demo, which shows one metered connection on the simulated line instead.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/autostart.h"
#include "app/options.h"
#include "app/program.h"
#include "app/single_copy.h"
#include "app/wayland.h"
#include "base/files.h"
#include "base/format.h"
#include "metering/online_probe.h"
#include "metering/tariff.h"
#include "platform/net/host_address.h"
#include "platform/qt/qt_backend.h"
#include "platform/ras/pppd_line.h"
#include "platform/ras/simulated_line.h"
#include "session/session.h"
#include "settings/settings.h"
#include "toolkit/gfx/font.h"

using namespace tt;

namespace {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    // An explicit platform that needs no display server (offscreen, vnc, ...).
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return platform && *platform && std::string(platform).rfind("xcb", 0) != 0 &&
           std::string(platform).rfind("wayland", 0) != 0;
}

void PreferXWayland() {
    if (ShouldUseXWayland(std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"),
                          std::getenv("QT_QPA_PLATFORM")))
        setenv("QT_QPA_PLATFORM", "xcb", 1);
}

// On Wayland proper the windows go where the compositor puts them; the user is told once.
void TellIfWindowsCannotBePlaced(qt::QtBackend& backend) {
    if (backend.CanPlaceWindows()) return;
    const char* text =
        "To jest sesja Wayland bez XWayland: okna programu nie da się ustawić w rogu ekranu, "
        "przyciągnąć do krawędzi ani przeciągnąć. Taktomat 2000 działa, ale jego okna stoją "
        "tam, gdzie postawi je pulpit.";
    std::fprintf(stderr, "taktomat: %s\n", text);
    backend.ShowMessageBox(text, "Taktomat 2000", ui::kMbOk | ui::kMbIconExclamation);
}

// The program meters over a folder it cannot write; the user is told once where the records
// go instead.
void TellFolderCannotBeWritten(qt::QtBackend& backend, TTaktomat& program,
                               const std::filesystem::path& folder) {
    const std::string text = UnwritableFolderText(folder, UnsavedLogPath(folder / "raport.txt"));
    std::fprintf(stderr, "taktomat: %s\n", text.c_str());
    program.Session().SetToldUnsaved();
    backend.ShowMessageBox(text, "Taktomat 2000", ui::kMbOk | ui::kMbIconExclamation);
}

// --autostart on|off: the session's autostart entry, starting this very program (and its
// folder, when one was given).
int SetSessionAutostart(const ProgramOptions& options) {
    const std::filesystem::path folder = XdgAutostartFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "taktomat: neither XDG_CONFIG_HOME nor HOME is set\n");
        return 1;
    }
    std::vector<std::string> args{std::filesystem::read_symlink("/proc/self/exe").string()};
    if (!options.Dir.empty()) {
        args.emplace_back("--dir");
        args.push_back(std::filesystem::absolute(options.Dir).string());
    }
    SetAutostart(folder, *options.Autostart, args);
    std::printf(*options.Autostart ? "Taktomat 2000 będzie uruchamiany razem z sesją: %s\n"
                                   : "Taktomat 2000 nie będzie już uruchamiany razem z sesją: %s\n",
                (folder / "taktomat.desktop").c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // These belong to this entry alone: the phone book's folder, and the built-in font on the
    // desktop, so that a screenshot can be compared with taktomat-demo's snapshot pixel for
    // pixel.
    std::vector<std::string> args;
    bool builtinFont = false;
    std::string peers = PppdLine::kDefaultPeersDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--peers" && i + 1 < argc && argv[i + 1][0] != '\0') {
            peers = argv[++i];
            while (peers.size() > 1 && peers.back() == '/') peers.pop_back();
        } else if (arg == "--builtin-font") {
            builtinFont = true;
        } else {
            args.push_back(arg);
        }
    }
    const ParsedOptions parsed = ParseOptions(args);
    if (!parsed.Ok()) {
        std::fprintf(stderr, "taktomat: %s\n%s", parsed.Error.c_str(),
                     UsageText("taktomat").c_str());
        return 2;
    }
    const ProgramOptions& options = parsed.Options;
    if (options.Help) {
        std::fputs(UsageText("taktomat").c_str(), stdout);
        std::fputs(
            "  --builtin-font     draw text with the built-in font, as taktomat-demo's\n"
            "                     snapshot does\n"
            "  --peers DIR        the phone book: pppd peer files in DIR instead of\n"
            "                     /etc/ppp/peers\n",
            stdout);
        return 0;
    }
    if (options.Version) {
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    }
    try {
        if (options.Autostart) return SetSessionAutostart(options);
        const FormatSettings format = options.Format ? *options.Format : UserFormatSettings();
        if (!HasDisplay()) {
            std::fputs(
                "taktomat: no display here (neither DISPLAY nor WAYLAND_DISPLAY is set); the meter "
                "needs a desktop. taktomat-demo shows one metered connection without one.\n",
                stderr);
            return 1;
        }
        // A simulation never writes into the user's real log: without --dir it keeps a folder
        // of its own.
        const std::filesystem::path folder =
            options.Simulate && options.Dir.empty()
                ? ProgramFolder((ProgramFolder("") / "simulation").string())
                : ProgramFolder(options.Dir);
        const PeerFolder peerFiles = ScanPeerFolder(peers);
        // A simulation does without pppd; the real line says at once why its list is empty.
        if (!options.Simulate && peerFiles.Names.empty()) {
            if (peerFiles.AnyUnreadable() && !peerFiles.ReaderGroup.empty()) {
                std::fprintf(stderr,
                             "taktomat: no dial-up entries: the pppd peer files in %s may be read "
                             "only by the group %s; join it and log in again\n",
                             peers.c_str(), peerFiles.ReaderGroup.c_str());
            } else {
                std::fprintf(stderr,
                             "taktomat: no dial-up entries: no readable pppd peer file in %s "
                             "(see README, \"Dial-up on Linux\")\n",
                             peers.c_str());
            }
        }
        PreferXWayland();
        // One copy per folder: a second start brings the first one's window up instead.
        TFolderLock lock(folder);
        if (!lock.Held()) {
            if (lock.State() == TFolderLock::Outcome::Taken && AskRunningCopyToShow(folder))
                return 0;
            const std::string text = lock.State() == TFolderLock::Outcome::Taken
                                         ? AlreadyRunningText(folder)
                                         : NoLockText(folder);
            std::fprintf(stderr, "taktomat: %s\n", text.c_str());
            qt::QtBackend backend(argc, argv);
            backend.ShowMessageBox(text, "Taktomat 2000", ui::kMbOk | ui::kMbIconError);
            return 1;
        }
        // The program goes on with the same reading of the file.
        auto settings = std::make_unique<TSettings>(folder / "taktomat.ini");
        const OnlineRule rule = ReadOnlineRule(*settings);
        const int scale = ReadClamped(*settings, keys::SKALA);
        const auto run = [&](HostAddressSource& host, RasApi& line) {
            qt::QtBackend backend(argc, argv, scale);
            if (builtinFont) SetCurrentFontEngine(nullptr);
            TTaktomat program(
                TProgramServices{backend, host, line, folder, format, {}, std::move(settings)});
            // Log-out, Ctrl+C and kill end the program as its close button does, record included.
            TSignalWatcher signals([&program] { program.RequestEnd(); },
                                   [&program] { program.RequestShow(); });
            TShowListener secondStarts(lock, folder, [&program] { program.RequestShow(); });
            program.Start();
            TellIfWindowsCannotBePlaced(backend);
            if (!lock.FolderWritable()) TellFolderCannotBeWritten(backend, program, folder);
            return program.Run();
        };
        if (options.Simulate) {
            std::printf("taktomat: dialling on a simulated line; its settings and log are in %s\n",
                        folder.string().c_str());
            std::fflush(stdout);
            LineHostAddressSource host(MakeOnlineAddressSource(rule));
            SimulatedLine line(SimulatedLine::Timing::Real, [&host](std::optional<std::string> a) {
                host.LineSays(std::move(a));
            });
            // The user's own phone book, dialled on the simulated line; without one, the entry
            // the simulation offers everywhere, so that a first try has something to dial.
            line.SetPhoneBook(peerFiles.Names.empty() ? std::vector<std::string>{"Internet"}
                                                      : peerFiles.Names);
            return run(host, line);
        }
        const std::unique_ptr<HostAddressSource> host = MakeOnlineAddressSource(rule);
        PppdLine::Config config;
        config.PeersDir = peers;
        PppdLine line(config);
        return run(*host, line);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "taktomat: %s\n", e.what());
        return 1;
    }
}
