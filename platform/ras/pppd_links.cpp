#include "platform/ras/pppd_links.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <string_view>

#include "base/format.h"

namespace tt {

namespace {

std::optional<std::string> ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

// The peer a pppd was started for, from its command line: "call NAME" or "file PATH".
std::string PeerFromCommandLine(const std::string& procDir, pid_t pid) {
    const auto text = ReadSmallFile(procDir + "/" + std::to_string(pid) + "/cmdline");
    if (!text) return {};
    std::vector<std::string> args;
    std::string current;
    for (const char c : *text) {
        if (c == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) args.push_back(current);
    for (size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "call") return args[i + 1];
        if (args[i] == "file") {
            const size_t slash = args[i + 1].rfind('/');
            return slash == std::string::npos ? args[i + 1] : args[i + 1].substr(slash + 1);
        }
    }
    return {};
}

std::optional<pid_t> ParsePid(std::string_view text) {
    text = Trim(text.substr(0, text.find('\n')));
    if (text.empty() || text.size() > 9) return std::nullopt;
    pid_t pid = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        pid = pid * 10 + (c - '0');
    }
    return pid > 0 ? std::optional<pid_t>(pid) : std::nullopt;
}

}  // namespace

bool IsLivePppd(const std::string& procDir, pid_t pid) {
    const auto stat = ReadSmallFile(procDir + "/" + std::to_string(pid) + "/stat");
    if (!stat) return false;
    const size_t open = stat->find('(');
    const size_t close = stat->rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    if (stat->substr(open + 1, close - open - 1) != "pppd") return false;
    const size_t state = stat->find_first_not_of(' ', close + 1);
    return state != std::string::npos && (*stat)[state] != 'Z' && (*stat)[state] != 'X';
}

std::vector<PppdLink> FindPppdLinks(const std::string& runDir, const std::string& procDir) {
    std::map<pid_t, PppdLink> links;
    DIR* dir = opendir(runDir.c_str());
    if (dir == nullptr) return {};
    while (const dirent* entry = readdir(dir)) {
        const std::string file = entry->d_name;
        if (!file.starts_with("ppp") || !file.ends_with(".pid") || file.size() <= 7) continue;
        const std::string middle = file.substr(3, file.size() - 7);
        const bool linkFile = middle.size() > 1 && middle[0] == '-';
        const bool unitFile =
            !middle.empty() &&
            std::all_of(middle.begin(), middle.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!linkFile && !unitFile) continue;
        const auto text = ReadSmallFile(std::string(runDir).append("/").append(file));
        if (!text) continue;
        const auto pid = ParsePid(*text);
        if (!pid || !IsLivePppd(procDir, *pid)) continue;
        PppdLink& link = links[*pid];
        link.Pid = *pid;
        if (linkFile) {
            link.Name = middle.substr(1);
            // A link's pid file names its interface on the second line once there is one.
            const size_t newline = text->find('\n');
            if (newline != std::string::npos) {
                const std::string_view second = Trim(std::string_view(*text).substr(newline + 1));
                if (!second.empty()) link.Interface = std::string(second);
            }
        } else if (link.Interface.empty()) {
            link.Interface = "ppp" + middle;
        }
    }
    closedir(dir);
    std::vector<PppdLink> result;
    for (auto& [pid, link] : links) {
        if (link.Name.empty()) link.Name = PeerFromCommandLine(procDir, pid);
        result.push_back(link);
    }
    return result;
}

}  // namespace tt
