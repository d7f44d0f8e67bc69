#include "base/ini_file.h"

#include <cstring>
#include <vector>

#include "base/code_page.h"
#include "base/error.h"
#include "base/files.h"
#include "base/utf8.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tt {

namespace {

// The reader hands back at most this many characters, as the system's reader with its
// 1024-character buffer does.
constexpr size_t kMaxValue = 1023;

// The blanks the system trims around names and values: tab to CR, Ctrl-Z and space. Other
// control bytes are text.
bool IsBlank(char c) {
    return (c >= '\t' && c <= '\r') || c == '\x1a' || c == ' ';
}

std::string_view TrimLeft(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b])) ++b;
    return s.substr(b);
}

std::string_view TrimRight(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1])) --e;
    return s.substr(0, e);
}

std::string_view TrimBlanks(std::string_view s) {
    return TrimRight(TrimLeft(s));
}

// The system keeps names and values as C strings: a NUL ends them.
std::string_view UpToNul(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

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

// One line as the system reads it. A line that starts with "[" and has a "]" is a header naming
// what lies between the "[" and the last "]"; any other line that is not blank is a key, with
// a value when it has an "=" (a line without one names a key that has no value).
struct IniLine {
    enum Kind { Blank, Header, Key } Type = Blank;
    std::string_view Name;
    std::optional<std::string_view> Value;
};

IniLine ParseLine(std::string_view raw) {
    IniLine line;
    const std::string_view t = TrimBlanks(raw);
    if (t.empty()) return line;
    if (t[0] == '[') {
        const size_t close = t.rfind(']');
        if (close != std::string_view::npos) {
            line.Type = IniLine::Header;
            line.Name = UpToNul(TrimBlanks(t.substr(1, close - 1)));
            return line;
        }
    }
    line.Type = IniLine::Key;
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        line.Name = UpToNul(t);
    } else {
        line.Name = UpToNul(TrimRight(t.substr(0, eq)));
        line.Value = UpToNul(TrimLeft(t.substr(eq + 1)));
    }
    return line;
}

// Where a key lives in the text: its section's header line and the key's own line, either of
// which may be missing. Only the first section of a name is looked at, and in it the first line
// naming the key, with or without a value. Lines before the first header belong to no section.
struct IniPlace {
    std::optional<size_t> Section;
    std::optional<size_t> Key;
    IniLine KeyLine;
    size_t SectionEnd = 0;  // one past the section's last line that is not blank
};

IniPlace Locate(const std::vector<std::string_view>& lines, std::string_view section,
                std::string_view key) {
    section = TrimBlanks(UpToNul(section));
    key = TrimBlanks(UpToNul(key));
    IniPlace place;
    for (size_t i = 0; i < lines.size(); ++i) {
        const IniLine line = ParseLine(lines[i]);
        if (line.Type == IniLine::Header) {
            if (place.Section) break;
            if (EqualNoCase(line.Name, section)) {
                place.Section = i;
                place.SectionEnd = i + 1;
            }
            continue;
        }
        if (!place.Section || line.Type == IniLine::Blank) continue;
        place.SectionEnd = i + 1;
        if (EqualNoCase(line.Name, key)) {
            place.Key = i;
            place.KeyLine = line;
            break;
        }
    }
    return place;
}

bool IsLeadByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

size_t CountChars(std::string_view s) {
    size_t n = 0;
    for (const char c : s) n += IsLeadByte(c) ? 1 : 0;
    return n;
}

// The first `count` characters; a cut never splits a UTF-8 character.
std::string_view FirstChars(std::string_view s, size_t count) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (!IsLeadByte(s[i])) continue;
        if (chars == count) return s.substr(0, i);
        ++chars;
    }
    return s;
}

std::string_view DropLastChar(std::string_view s) {
    if (s.empty()) return s;
    size_t i = s.size() - 1;
    while (i > 0 && !IsLeadByte(s[i])) --i;
    return s.substr(0, i);
}

// The copy into the caller's buffer: a value enclosed in a pair of the same quote loses them,
// and the buffer holds at most kMaxValue characters. When the closing quote is the one that
// does not fit, the last character that fits goes instead, as on the system.
std::string CopyOut(std::string_view value) {
    const bool quoted =
        value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
    if (quoted) value.remove_prefix(1);
    std::string_view out = FirstChars(value, kMaxValue);
    if (quoted && CountChars(value) <= kMaxValue + 1) out = DropLastChar(out);
    return std::string(out);
}

// The system drops trailing spaces (spaces only) from the default, but keeps one of a default
// that is nothing else.
std::string_view DefaultWithoutTrailingSpaces(std::string_view d) {
    size_t n = d.size();
    while (n > 1 && d[n - 1] == ' ') --n;
    return d.substr(0, n);
}

// A lone surrogate becomes U+FFFD; an odd last byte is no character and is dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    auto unit = [&](size_t i) -> char32_t {
        const auto hi = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        const auto lo = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        return static_cast<char32_t>(hi << 8 | lo);
    };
    for (size_t i = 0; i < units; ++i) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacementChar;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// Bytes that are no valid UTF-8 become U+FFFD.
std::string Utf8ToUtf16(std::string_view text, bool bigEndian) {
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&](char32_t u) {
        const auto hi = static_cast<char>(u >> 8);
        const auto lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    for (size_t i = 0; i < text.size();) {
        const char32_t c = NextCodePoint(text, i);
        if (c >= 0x10000) {
            put(static_cast<char32_t>(0xD800 + ((c - 0x10000) >> 10)));
            put(static_cast<char32_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            put(c);
        }
    }
    return out;
}

}  // namespace

IniText DecodeIniFile(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return {std::string(bytes.substr(3)), IniEncoding::Utf8Bom};
    }
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        return {Utf16ToUtf8(bytes.substr(2), false), IniEncoding::Utf16Le};
    }
    if (bytes.substr(0, 2) == "\xFE\xFF") {
        return {Utf16ToUtf8(bytes.substr(2), true), IniEncoding::Utf16Be};
    }
    return {TextFromDisk(std::string(bytes)), IniEncoding::Plain};
}

std::string EncodeIniFile(std::string_view text, IniEncoding encoding) {
    switch (encoding) {
        case IniEncoding::Utf8Bom:
            return "\xEF\xBB\xBF" + std::string(text);
        case IniEncoding::Utf16Le:
            return "\xFF\xFE" + Utf8ToUtf16(text, false);
        case IniEncoding::Utf16Be:
            return "\xFE\xFF" + Utf8ToUtf16(text, true);
        case IniEncoding::Plain:
            break;
    }
    return TextToDisk(std::string(text));
}

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
    const IniPlace place = Locate(SplitLines(text), section, key);
    if (!place.Key || !place.KeyLine.Value) return std::nullopt;
    return std::string(*place.KeyLine.Value);
}

std::string ReadIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view defaultValue) {
    const std::optional<std::string> value = FindIniValue(text, section, key);
    return ReadIniValue(value ? std::optional<std::string_view>(*value) : std::nullopt,
                        defaultValue);
}

std::string ReadIniValue(const std::optional<std::string_view>& stored,
                         std::string_view defaultValue) {
    if (stored) return CopyOut(*stored);
    return CopyOut(DefaultWithoutTrailingSpaces(UpToNul(defaultValue)));
}

std::string IniWantedName(std::string_view section, std::string_view key) {
    std::string name(TrimBlanks(UpToNul(section)));
    name += '\n';
    name.append(TrimBlanks(UpToNul(key)));
    for (char& ch : name) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return name;
}

std::map<std::string, std::optional<std::string>> CollectIniValues(
    std::string_view text, const std::set<std::string>& wanted) {
    std::map<std::string, std::optional<std::string>> out;
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
        const char* lf =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (lf == nullptr) lf = end;
        const char* cr =
            static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(lf - p)));
        const char* stop = cr != nullptr ? cr : lf;
        const std::string_view raw(p, static_cast<size_t>(stop - p));
        p = (cr != nullptr && cr + 1 < end && cr[1] == '\n') ? cr + 2 : stop + 1;
        if (!counts) {
            // Only a header can change anything here: its first byte that is no blank is "[".
            const std::string_view t = TrimLeft(raw);
            if (t.empty() || t[0] != '[') continue;
        }
        const IniLine line = ParseLine(raw);
        if (line.Type == IniLine::Header) {
            name.assign(line.Name);
            for (char& ch : name) {
                if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
            }
            name += '\n';
            sectionLength = name.size();
            counts = sections.insert(name).second && wantedSections.count(name) != 0;
            continue;
        }
        if (!counts || line.Type != IniLine::Key) continue;
        name.resize(sectionLength);
        for (const char ch : line.Name) {
            name += (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
        }
        // The first line naming a key decides, with a value or without one.
        if (!wanted.count(name) || out.count(name)) continue;
        out.emplace(name, line.Value ? std::optional<std::string>(*line.Value) : std::nullopt);
    }
    return out;
}

std::optional<std::string> SetIniValue(std::string_view text, std::string_view section,
                                       std::string_view key, std::string_view value) {
    // The names and the value reach the system as C strings.
    section = UpToNul(section);
    key = UpToNul(key);
    // A line break in the value would start a line of its own, a key nobody wrote.
    std::string clean(UpToNul(value));
    for (char& c : clean) c = (c == '\r' || c == '\n') ? ' ' : c;
    const std::string_view newValue = TrimLeft(clean);

    const std::vector<std::string_view> lines = SplitLines(text);
    const IniPlace place = Locate(lines, section, key);
    if (place.Key && place.KeyLine.Value == newValue) return std::nullopt;

    // A new key or section is named as the caller spelt it, less leading blanks.
    std::string entry(place.Key ? place.KeyLine.Name : TrimLeft(key));
    entry += '=';
    entry.append(newValue);
    // A value written with blanks at its end reads back without them, yet writing it again
    // would only put the same line back.
    if (place.Key && lines[*place.Key] == entry) return std::nullopt;

    std::string out;
    out.reserve(text.size() + entry.size() + section.size() + 8);
    auto put = [&out](std::string_view line) {
        out.append(line);
        out.append("\r\n");
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        if (place.Section && !place.Key && i == place.SectionEnd) put(entry);
        put(place.Key && i == *place.Key ? std::string_view(entry) : lines[i]);
    }
    if (place.Section && !place.Key && place.SectionEnd == lines.size()) put(entry);
    if (!place.Section) {
        out += '[';
        out.append(TrimLeft(section));
        out += "]\r\n";
        put(entry);
    }
    return out;
}

std::string ReadIniBytes(const std::optional<std::string>& bytes, std::string_view section,
                         std::string_view key, std::string_view defaultValue) {
    return ReadIniValue(bytes ? DecodeIniFile(*bytes).Text : std::string(), section, key,
                        defaultValue);
}

std::optional<std::string> WriteIniBytes(const std::optional<std::string>& bytes,
                                         std::string_view section, std::string_view key,
                                         std::string_view value) {
    const IniText old = bytes ? DecodeIniFile(*bytes) : IniText{};
    const std::optional<std::string> text = SetIniValue(old.Text, section, key, value);
    if (!text) return std::nullopt;
    return EncodeIniFile(*text, old.Encoding);
}

#ifdef _WIN32

namespace {
// The wide functions: a path with letters outside the system code page reaches the file as it
// is (the "A" functions would map them to others, a folder that does not exist). The file
// keeps its own encoding, which the system reads and writes. A relative path would mean the
// Windows folder to them, so the path goes in whole.
std::wstring WidePath(const std::filesystem::path& file) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(file, ec);
    return ec ? file.wstring() : full.wstring();
}

// Another program that holds the file open without sharing (an editor saving it, a backup)
// makes the system read nothing but defaults: wait a moment for it to let go.
bool WaitWhileLocked(const std::filesystem::path& file) {
    for (int tries = 0;; ++tries) {
        HANDLE h =
            CreateFileW(WidePath(file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return true;
        }
        const DWORD error = GetLastError();
        // No file is no fault: its keys have their defaults. Anything else in its place is.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) return false;
        if (tries == 20) return false;
        Sleep(100);
    }
}
}  // namespace

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    if (!fresh_) {
        fresh_ = true;
        ++readings_;
        unreadable_ = !WaitWhileLocked(file_);
    }
    wchar_t buf[kMaxValue + 1];
    const DWORD n = GetPrivateProfileStringW(Utf8ToWide(section).c_str(), Utf8ToWide(key).c_str(),
                                             Utf8ToWide(defaultValue).c_str(), buf, kMaxValue + 1,
                                             WidePath(file_).c_str());
    return WideToUtf8(std::wstring_view(buf, n));
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (!WritePrivateProfileStringW(Utf8ToWide(section).c_str(), Utf8ToWide(key).c_str(),
                                    Utf8ToWide(value).c_str(), WidePath(file_).c_str())) {
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
    std::error_code ec;
    unreadable_ = !bytes && std::filesystem::exists(file_, ec);
    Take(bytes ? DecodeIniFile(*bytes).Text : std::string());
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    const std::string name = IniWantedName(section, key);
    if (wanted_.insert(name).second) fresh_ = false;
    Refresh();
    const auto it = values_.find(name);
    if (it == values_.end() || !it->second) return ReadIniValue(std::nullopt, defaultValue);
    return ReadIniValue(std::string_view(*it->second), defaultValue);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(file_, ec);
    const std::optional<std::string> bytes = ReadWholeFile(file_);
    // A file that is there but cannot be read must not be replaced by one key.
    if (ec || (exists && !bytes)) throw Error("Unable to write to " + FullPathText(file_));
    const IniText old = bytes ? DecodeIniFile(*bytes) : IniText{};
    const std::optional<std::string> text = SetIniValue(old.Text, section, key, value);
    if (!text) return;  // the file holds the value already and stays untouched
    if (!ReplaceFileAtomically(file_, EncodeIniFile(*text, old.Encoding))) {
        fresh_ = false;
        throw Error("Unable to write to " + FullPathText(file_));
    }
    // What was just written is what the next reads find.
    stamp_ = StampOf(file_);
    Take(*text);
}

#endif

void IniFile::Want(std::string_view section, std::string_view key) {
    if (wanted_.insert(IniWantedName(section, key)).second) fresh_ = false;
}

}  // namespace tt
