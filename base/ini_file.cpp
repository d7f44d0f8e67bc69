#include "base/ini_file.h"

#include <cstring>
#include <vector>

#include "base/error.h"
#include "base/files.h"
#include "base/format.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tt {

namespace {

constexpr size_t kMaxValue = 1023;

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// The section a "[NAME]" line opens, or nothing for any other line.
std::optional<std::string_view> SectionOf(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t[0] != '[') return std::nullopt;
    const size_t close = t.find(']');
    return Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

bool IsKeyLine(std::string_view line, std::string_view key) {
    const size_t eq = line.find('=');
    return eq != std::string_view::npos && EqualNoCase(Trim(line.substr(0, eq)), key);
}

// Cut at most at kMaxValue bytes, but never inside a UTF-8 sequence.
std::string_view Clip(std::string_view value) {
    if (value.size() <= kMaxValue) return value;
    size_t n = kMaxValue;
    while (n > 0 && (static_cast<unsigned char>(value[n]) & 0xC0) == 0x80) --n;
    return value.substr(0, n);
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string WantedName(std::string_view section, std::string_view key) {
    return Lower(section) + "\n" + Lower(key);
}

}  // namespace

std::map<std::string, std::string> CollectIniValues(std::string_view text,
                                                    const std::set<std::string>& wanted) {
    std::map<std::string, std::string> out;
    // Lines of sections nobody asks for are passed over at the cost of finding their end.
    std::set<std::string> wantedSections;
    for (const std::string& w : wanted) wantedSections.insert(w.substr(0, w.find('\n') + 1));
    std::set<std::string> sections;  // only the first section of a name counts
    std::string name;                // "section" LF "key" of the line, reused line after line
    size_t sectionLength = 0;
    bool counts = false;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* p = begin; p < end;) {
        // The line ends at the first CR or LF; both are rare enough for memchr to find fast.
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (lf == nullptr) lf = end;
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', lf - p));
        const char* stop = cr != nullptr ? cr : lf;
        const std::string_view line(p, static_cast<size_t>(stop - p));
        p = (cr != nullptr && cr + 1 < end && cr[1] == '\n') ? cr + 2 : stop + 1;
        // A section line starts with "[" after blanks, as Trim counts them.
        const bool maybeSection =
            !line.empty() && (line[0] == '[' || static_cast<unsigned char>(line[0]) <= ' ');
        if (!counts && !maybeSection) continue;
        if (const auto section = maybeSection ? SectionOf(line) : std::nullopt) {
            name = Lower(*section);
            name += '\n';
            sectionLength = name.size();
            counts = sections.insert(name).second && wantedSections.count(name) != 0;
            continue;
        }
        if (!counts) continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, eq));
        name.resize(sectionLength);
        for (const char c : key)
            name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (!wanted.count(name) || out.count(name)) continue;
        out.emplace(name, std::string(Clip(Trim(line.substr(eq + 1)))));
    }
    return out;
}

void IniFile::Want(std::string_view section, std::string_view key) {
    if (wanted_.insert(WantedName(section, key)).second) fresh_ = false;
}

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
    bool seen = false;
    bool inside = false;
    for (const std::string_view line : SplitLines(text)) {
        if (const auto name = SectionOf(line)) {
            if (inside) break;  // only the first section of that name counts
            inside = !seen && EqualNoCase(*name, section);
            seen = seen || inside;
            continue;
        }
        if (inside && IsKeyLine(line, key)) {
            return std::string(Clip(Trim(line.substr(line.find('=') + 1))));
        }
    }
    return std::nullopt;
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    // A line break in the value would start a line of its own, a key nobody wrote.
    std::string entry = std::string(key) + "=";
    for (const char c : value) entry += (c == '\r' || c == '\n') ? ' ' : c;

    std::vector<std::string_view> lines = SplitLines(text);
    std::vector<std::string> extra;
    size_t sectionAt = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionOf(lines[i]);
        if (name && EqualNoCase(*name, section)) {
            sectionAt = i;
            break;
        }
    }
    size_t replaceAt = lines.size();
    size_t insertAt = lines.size();
    if (sectionAt < lines.size()) {
        insertAt = sectionAt + 1;
        for (size_t i = sectionAt + 1; i < lines.size() && !SectionOf(lines[i]); ++i) {
            if (IsKeyLine(lines[i], key)) {
                replaceAt = i;
                break;
            }
            if (!Trim(lines[i]).empty()) insertAt = i + 1;
        }
    }

    std::string out;
    out.reserve(text.size() + entry.size() + section.size() + 8);
    auto put = [&out](std::string_view line) {
        out.append(line);
        out.append("\r\n");
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        if (sectionAt < lines.size() && replaceAt == lines.size() && i == insertAt) put(entry);
        put(i == replaceAt ? std::string_view(entry) : lines[i]);
    }
    if (sectionAt < lines.size() && replaceAt == lines.size() && insertAt == lines.size()) {
        put(entry);
    }
    if (sectionAt == lines.size()) {
        if (!lines.empty() && !Trim(lines.back()).empty()) put("");
        std::string header = "[";
        header.append(section);
        header += ']';
        put(header);
        put(entry);
    }
    return out;
}

#ifdef _WIN32

namespace {
// The "A" functions take the path in the system code page, and a relative one would mean the
// Windows folder to them, so the path goes in whole.
std::string DiskPath(const std::filesystem::path& file) {
    return TextToDisk(FullPathText(file));
}
}  // namespace

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    char buf[kMaxValue + 1];
    const std::string s = TextToDisk(std::string(section));
    const std::string k = TextToDisk(std::string(key));
    const std::string d = TextToDisk(std::string(defaultValue));
    const DWORD n = GetPrivateProfileStringA(s.c_str(), k.c_str(), d.c_str(), buf, sizeof buf,
                                             DiskPath(file_).c_str());
    return TextFromDisk(std::string(buf, n));
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (!WritePrivateProfileStringA(
            TextToDisk(std::string(section)).c_str(), TextToDisk(std::string(key)).c_str(),
            TextToDisk(std::string(value)).c_str(), DiskPath(file_).c_str())) {
        throw Error("Unable to write to " + FullPathText(file_));
    }
}

#else

void IniFile::Take(std::string_view text) const {
    values_ = CollectIniValues(text, wanted_);
    fresh_ = true;
}

void IniFile::Refresh() const {
    const FileStamp now = StampOf(file_);
    if (fresh_ && now == stamp_) return;
    // Stamped before the reading: a change while it reads shows at the next read.
    stamp_ = now;
    ++readings_;
    const std::optional<std::string> bytes = ReadWholeFile(file_);
    Take(bytes ? TextFromDisk(*bytes) : std::string());
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    const std::string name = WantedName(section, key);
    if (!wanted_.count(name)) {
        wanted_.insert(name);
        fresh_ = false;
    }
    Refresh();
    const auto it = values_.find(name);
    if (it != values_.end()) return it->second;
    return std::string(Clip(defaultValue));
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(file_, ec);
    const std::optional<std::string> bytes = ReadWholeFile(file_);
    // A file that is there but cannot be read must not be replaced by one key.
    if (ec || (exists && !bytes)) throw Error("Unable to write to " + FullPathText(file_));
    const std::string text =
        SetIniValue(bytes ? TextFromDisk(*bytes) : std::string(), section, key, value);
    if (!ReplaceFileAtomically(file_, TextToDisk(text))) {
        fresh_ = false;
        throw Error("Unable to write to " + FullPathText(file_));
    }
    // What was just written is what the next reads find.
    stamp_ = StampOf(file_);
    Take(text);
}

#endif

}  // namespace tt
