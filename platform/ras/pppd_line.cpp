#include "platform/ras/pppd_line.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/ras/ras_errors.h"
#include "platform/ras/ras_records.h"

extern char** environ;

namespace tt {

namespace {

// A flood of output is read and dropped past this length of line, so pppd never blocks on a
// full pipe and the program's memory stays bounded.
constexpr size_t kMaxLine = 1024;

bool UsableEntryName(std::string_view name) {
    if (name.empty() || name.size() > static_cast<size_t>(kRasMaxEntryName)) return false;
    if (name.front() == '.') return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || u < 0x20 || u == 0x7F) return false;
    }
    return true;
}

enum class EntryFile { Usable, Missing, Unreadable };

// `group` gets the group that may read the file when this user may not.
EntryFile CheckEntryFile(const std::string& path, gid_t* group = nullptr) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return errno == EACCES ? EntryFile::Unreadable : EntryFile::Missing;
    }
    if (!S_ISREG(info.st_mode)) return EntryFile::Missing;
    if (access(path.c_str(), R_OK) == 0) return EntryFile::Usable;
    if (group != nullptr && (info.st_mode & S_IRGRP) != 0) *group = info.st_gid;
    return EntryFile::Unreadable;
}

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return {};
    }
    return found->gr_name;
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

PeerFolder ScanPeerFolder(const std::string& folder) {
    PeerFolder scan;
    std::optional<gid_t> readers;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        // A folder that is not there holds no entries; one that may not be read hides them.
        struct stat info {};
        if (errno == EACCES && stat(folder.c_str(), &info) == 0) {
            scan.FolderUnreadable = true;
            if ((info.st_mode & S_IRGRP) != 0) readers = info.st_gid;
        }
    } else {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (!UsableEntryName(name)) continue;
            gid_t group = 0;
            const EntryFile file =
                CheckEntryFile(std::string(folder).append("/").append(name), &group);
            if (file == EntryFile::Usable) scan.Names.push_back(name);
            if (file != EntryFile::Unreadable) continue;
            scan.Unreadable.push_back(name);
            if (!readers && group != 0) readers = group;
        }
        closedir(dir);
    }
    std::sort(scan.Names.begin(), scan.Names.end());
    std::sort(scan.Unreadable.begin(), scan.Unreadable.end());
    if (readers) scan.ReaderGroup = GroupName(*readers);
    return scan;
}

std::string PeerFolder::EmptyReason(const std::string& folder) const {
    if (!AnyUnreadable()) return "Brak plików wpisów pppd w " + folder + ".";
    if (ReaderGroup.empty()) return "Brak uprawnień do odczytu wpisów w " + folder + ".";
    // Short enough for the connect window's status line.
    return "Wpisy czyta tylko grupa " + ReaderGroup + ": dołącz do niej.";
}

std::vector<std::string> ListPeerEntries(const std::string& folder) {
    return ScanPeerFolder(folder).Names;
}

// One dial of the program's own: the pppd it started and what its output has said so far.
struct PppdLine::Dial {
    HRasConn Handle = 0;
    pid_t Pid = 0;  // 0: pppd could not be started
    int StartError = 0;
    std::string Entry;
    RasDialFunc Notifier = nullptr;
    int OutFd = -1;
    // Guarded by the line's mutex:
    PppdDialProgress Progress;
    bool Ended = false;   // the dial is over: connected, failed or hung up
    bool Reaped = false;  // pppd is gone
    uint32_t Error = 0;
    std::string ExitText;  // how pppd ended, for a failure it said nothing about
    bool HangUpRequested = false;
    int64_t HangUpAt = 0;
    std::thread Follower;
};

PppdLine::PppdLine(Config config) : config_(std::move(config)) {
    if (pipe2(stopPipe_, O_CLOEXEC) != 0) stopPipe_[0] = stopPipe_[1] = -1;
}

PppdLine::~PppdLine() {
    if (stopPipe_[1] >= 0) close(stopPipe_[1]);
    for (const auto& dial : dials_) {
        if (dial->Follower.joinable()) dial->Follower.join();
        if (dial->OutFd >= 0) close(dial->OutFd);
    }
    if (stopPipe_[0] >= 0) close(stopPipe_[0]);
}

std::vector<std::string> PppdLine::PppdArguments(const std::string& entry) const {
    std::vector<std::string> args;
    if (config_.PeersDir == kDefaultPeersDir) {
        args = {"call", entry};
    } else {
        args = {"file", config_.PeersDir + "/" + entry};
    }
    // After the peer's own options, so that they win: the program follows pppd through its
    // output and its exit, so pppd must stay its child, end when the dial fails instead of
    // redialling, and never become a daemon.
    args.insert(args.end(), {"nodetach", "nopersist"});
    return args;
}

uint32_t PppdLine::CheckEntry(const std::string& name) const {
    if (!UsableEntryName(name)) return kErrorCannotFindPhonebookEntry;
    switch (CheckEntryFile(config_.PeersDir + "/" + name)) {
        case EntryFile::Usable:
            return 0;
        case EntryFile::Unreadable:
            return kErrorCannotOpenPhonebook;
        default:
            return kErrorCannotFindPhonebookEntry;
    }
}

PppdLine::Dial* PppdLine::FindDial(HRasConn handle) {
    for (const auto& dial : dials_) {
        if (dial->Handle == handle) return dial.get();
    }
    return nullptr;
}

uint32_t PppdLine::RasDialA(void*, const char*, RASDIALPARAMSA* params, uint32_t notifierType,
                            RasDialFunc notifier, HRasConn* connection) {
    if (const uint32_t invalid = CheckRasDial(params, notifierType, notifier, connection);
        invalid != 0) {
        return invalid;
    }
    const std::string name = RasEntryName(*params);
    if (const uint32_t missing = CheckEntry(name); missing != 0) return missing;

    auto dial = std::make_shared<Dial>();
    dial->Entry = name;
    dial->Notifier = notifier;

    std::vector<std::string> args = PppdArguments(name);
    args.insert(args.begin(), config_.Pppd);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    int out[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0) return kErrorDisconnection;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: closing the program's terminal or its process group must not end
    // the link. The signals come back to their defaults, whatever the program ignores.
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, config_.Pppd.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);

    std::unique_lock lock(mutex_);
    if (spawned != 0) {
        close(out[0]);
        dial->StartError = spawned;
        dial->Handle = nextFailedHandle_++;
    } else {
        dial->Pid = pid;
        dial->Handle = static_cast<HRasConn>(pid);
        dial->OutFd = out[0];
        fcntl(dial->OutFd, F_SETFL, O_NONBLOCK);
    }
    dials_.push_back(dial);
    *connection = dial->Handle;
    dial->Follower = std::thread([this, dial] { Follow(dial); });
    if (notifier != nullptr) return 0;
    // Without a notifier the caller waits for the end of the dial.
    changed_.wait(lock, [&] { return dial->Ended; });
    return dial->Error;
}

void PppdLine::Follow(const std::shared_ptr<Dial>& dial) {
    const auto notify = [&](const std::vector<uint32_t>& states, uint32_t error) {
        if (dial->Notifier == nullptr) return;
        for (const uint32_t state : states) dial->Notifier(kRasDialEventMessage, state, 0);
        if (error != 0) dial->Notifier(kRasDialEventMessage, dial->Progress.State(), error);
    };
    const auto finish = [&](uint32_t error) {
        {
            std::lock_guard lock(mutex_);
            dial->Reaped = true;
            if (!dial->Ended) dial->Error = error;
            dial->Ended = true;
        }
        changed_.notify_all();
    };

    if (dial->Pid == 0) {
        const uint32_t error = PppdDialProgress::StartFailed(dial->StartError);
        std::vector<uint32_t> start;
        {
            std::lock_guard lock(mutex_);
            start = dial->Progress.Start();
        }
        finish(error);
        notify(start, error);
        return;
    }

    std::vector<uint32_t> start;
    {
        std::lock_guard lock(mutex_);
        start = dial->Progress.Start();
    }
    notify(start, 0);

    std::string pending;
    bool dropping = false;  // the rest of an overlong line
    int fd = dial->OutFd;
    char buffer[4096];
    const auto handleLine = [&](std::string_view line) {
        std::vector<uint32_t> states;
        bool report = false;
        {
            std::lock_guard lock(mutex_);
            states = dial->Progress.Line(line);
            // Once hung up, the dial reports nothing more, as a real library stops.
            report = !dial->HangUpRequested && !states.empty();
            if (dial->Progress.Connected() && !dial->Ended) {
                dial->Ended = true;
                changed_.notify_all();
            }
        }
        if (report) notify(states, 0);
    };
    const auto readAvailable = [&] {
        while (fd >= 0) {
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                if (got == 0 || errno != EAGAIN) fd = -1;  // end of output
                return;
            }
            for (ssize_t i = 0; i < got; ++i) {
                const char c = buffer[i];
                if (c == '\n') {
                    if (!dropping) handleLine(pending);
                    pending.clear();
                    dropping = false;
                } else if (!dropping) {
                    pending += c;
                    if (pending.size() > kMaxLine) {
                        pending.clear();
                        dropping = true;
                    }
                }
            }
        }
    };

    for (;;) {
        pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {fd, POLLIN, 0}};
        const int ready = poll(fds, fd >= 0 ? 2 : 1, 100);
        if (ready > 0 && fds[0].revents != 0) return;  // the line is going away; the link stays
        if (fd >= 0 && ready > 0 && fds[1].revents != 0) readAvailable();

        int status = 0;
        const pid_t gone = waitpid(dial->Pid, &status, WNOHANG);
        if (gone == dial->Pid || (gone < 0 && errno == ECHILD)) {
            readAvailable();
            if (!pending.empty() && !dropping) handleLine(pending);
            uint32_t error = 0;
            bool report = false;
            {
                std::lock_guard lock(mutex_);
                const int code = gone == dial->Pid && WIFEXITED(status) ? WEXITSTATUS(status) : 0;
                const int signal = gone == dial->Pid && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
                error = dial->Progress.Ended(code, signal, dial->HangUpRequested);
                dial->ExitText = signal != 0 ? "pppd: signal " + std::to_string(signal)
                                             : "pppd: exit status " + std::to_string(code);
                report = !dial->Ended && !dial->HangUpRequested;
            }
            finish(error);
            if (report && error != 0) notify({}, error);
            return;
        }
        bool kill9 = false;
        {
            std::lock_guard lock(mutex_);
            kill9 = dial->HangUpRequested && NowMs() - dial->HangUpAt >= config_.HangUpGraceMs;
        }
        // A pppd that does not end when asked is ended for it; the hang-up must finish.
        if (kill9) kill(dial->Pid, SIGKILL);
    }
}

uint32_t PppdLine::RasEnumConnectionsA(RASCONNA* connections, uint32_t* bufferSize,
                                       uint32_t* count) {
    if (const uint32_t invalid = CheckRasList(connections, bufferSize, count); invalid != 0) {
        return invalid;
    }
    struct Listed {
        HRasConn Handle;
        std::string Name;
        std::string Device;
    };
    std::vector<Listed> listed;
    std::vector<pid_t> own;
    {
        std::lock_guard lock(mutex_);
        for (const auto& dial : dials_) {
            if (dial->Reaped || dial->Pid == 0) continue;
            own.push_back(dial->Pid);
            const std::string& device = dial->Progress.Interface().empty()
                                            ? dial->Progress.Device()
                                            : dial->Progress.Interface();
            listed.push_back({dial->Handle, dial->Entry, device});
        }
    }
    for (const PppdLink& link : FindPppdLinks(config_.RunDir, config_.ProcDir)) {
        if (std::find(own.begin(), own.end(), link.Pid) != own.end()) continue;
        listed.push_back({static_cast<HRasConn>(link.Pid),
                          link.Name.empty() ? link.Interface : link.Name, link.Interface});
    }
    if (const uint32_t full = FitRasList<RASCONNA>(listed.size(), bufferSize, count); full != 0) {
        return full;
    }
    for (size_t i = 0; i < listed.size(); ++i) {
        RASCONNA& record = connections[i];
        record.dwSize = sizeof(RASCONNA);
        record.hrasconn = listed[i].Handle;
        CopyRasField(record.szEntryName, listed[i].Name);
        CopyRasField(record.szDeviceType, "modem");
        CopyRasField(record.szDeviceName, listed[i].Device);
    }
    return 0;
}

uint32_t PppdLine::RasEnumEntriesA(const char*, const char*, RASENTRYNAMEA* entries,
                                   uint32_t* bufferSize, uint32_t* count) {
    if (const uint32_t invalid = CheckRasList(entries, bufferSize, count); invalid != 0) {
        return invalid;
    }
    const std::vector<std::string> names = ListPeerEntries(config_.PeersDir);
    if (const uint32_t full = FitRasList<RASENTRYNAMEA>(names.size(), bufferSize, count);
        full != 0) {
        return full;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        entries[i].dwSize = sizeof(RASENTRYNAMEA);
        CopyRasField(entries[i].szEntryName, names[i]);
    }
    return 0;
}

uint32_t PppdLine::RasGetConnectStatusA(HRasConn handle, RASCONNSTATUSA* status) {
    if (status == nullptr) return kErrorInvalidParameter;
    if (status->dwSize != sizeof(RASCONNSTATUSA)) return kErrorInvalidSize;
    std::string device;
    {
        std::lock_guard lock(mutex_);
        if (const Dial* dial = FindDial(handle)) {
            if (dial->Reaped) return kErrorInvalidHandle;
            status->rasconnstate =
                dial->HangUpRequested ? RASCS_Disconnected : dial->Progress.State();
            status->dwError = 0;
            CopyRasField(status->szDeviceType, "modem");
            CopyRasField(status->szDeviceName, dial->Progress.Interface());
            return 0;
        }
    }
    if (handle == 0 || handle >= 0x40000000 ||
        !IsLivePppd(config_.ProcDir, static_cast<pid_t>(handle))) {
        return kErrorInvalidHandle;
    }
    status->rasconnstate = RASCS_Connected;
    status->dwError = 0;
    CopyRasField(status->szDeviceType, "modem");
    for (const PppdLink& link : FindPppdLinks(config_.RunDir, config_.ProcDir)) {
        if (link.Pid == static_cast<pid_t>(handle)) device = link.Interface;
    }
    CopyRasField(status->szDeviceName, device);
    return 0;
}

uint32_t PppdLine::RasGetErrorStringA(uint32_t error, char* buffer, uint32_t bufferSize) {
    return CopyRasErrorText(error, buffer, bufferSize);
}

uint32_t PppdLine::RasHangUpA(HRasConn handle) {
    {
        std::lock_guard lock(mutex_);
        if (Dial* dial = FindDial(handle)) {
            if (dial->Reaped) return kErrorInvalidHandle;
            if (!dial->HangUpRequested) {
                dial->HangUpRequested = true;
                dial->HangUpAt = NowMs();
                if (!dial->Ended) {
                    dial->Ended = true;
                    dial->Error = kErrorUserDisconnection;
                }
                changed_.notify_all();
                if (kill(dial->Pid, SIGTERM) != 0 && errno == EPERM) return kErrorAccessDenied;
            }
            return 0;
        }
    }
    if (handle == 0 || handle >= 0x40000000 ||
        !IsLivePppd(config_.ProcDir, static_cast<pid_t>(handle))) {
        return kErrorInvalidHandle;
    }
    // Another program's link: ended as pppd's own documentation ends one, with SIGTERM.
    if (kill(static_cast<pid_t>(handle), SIGTERM) != 0) {
        return errno == ESRCH ? kErrorInvalidHandle : kErrorAccessDenied;
    }
    return 0;
}

uint32_t PppdLine::RasGetEntryDialParamsA(const char*, RASDIALPARAMSA* params,
                                          int32_t* passwordSaved) {
    if (params == nullptr) return kErrorInvalidParameter;
    if (params->dwSize != sizeof(RASDIALPARAMSA)) return kErrorInvalidSize;
    const std::string name = RasEntryName(*params);
    if (const uint32_t missing = CheckEntry(name); missing != 0) return missing;
    // The number, the user and the secret live in the peer file, its chat script and pppd's
    // secrets files, where pppd reads them itself.
    params->szPhoneNumber[0] = '\0';
    params->szCallbackNumber[0] = '\0';
    params->szUserName[0] = '\0';
    params->szPassword[0] = '\0';
    params->szDomain[0] = '\0';
    if (passwordSaved != nullptr) *passwordSaved = 0;
    return 0;
}

std::string PppdLine::EmptyPhoneBookReason() {
    return ScanPeerFolder(config_.PeersDir).EmptyReason(config_.PeersDir);
}

std::string PppdLine::DialFailureReason(HRasConn handle) {
    std::lock_guard lock(mutex_);
    const Dial* dial = FindDial(handle);
    if (dial == nullptr || !dial->Ended) return {};
    // A pppd that never ran said nothing; the system's words on the start say why.
    if (dial->Pid == 0) return config_.Pppd + ": " + std::strerror(dial->StartError);
    return dial->Progress.Reason().empty() ? dial->ExitText : dial->Progress.Reason();
}

}  // namespace tt
