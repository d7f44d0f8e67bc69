// The settings file side by side: generated files and query/write sequences run through the
// system's private-profile functions and through our own reader and writer, comparing every
// read and the bytes of every write. Differences the system is known to make where Windows
// does not are classified and counted; anything else fails the run.
//
//   ini_vs_system [--cases N] [--seed S] [--case K] [--verbose]
//
// Each case draws from its own generator seeded by (S, case number), so `--seed S --case K`
// replays one case alone.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/ini_file.h"
#include "testing/test_temp_folder.h"

namespace {

using ull = unsigned long long;
using tt::TextFromDisk;
using tt::TextToDisk;

std::string Show(std::string_view s, size_t max = 160) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size() && i < max; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        char buf[8];
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    if (s.size() > max) out += "...(" + std::to_string(s.size()) + " bytes)";
    return out + "\"";
}

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), std::streamsize(bytes.size()));
}

std::optional<std::string> Get(const std::string& path) {
    return tt::ReadWholeFile(path);
}

// --- The generator -------------------------------------------------------------------------

class Gen {
  public:
    explicit Gen(uint64_t seed) : rng_(seed) {}
    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
    bool Chance(int percent) { return Below(100) < size_t(percent); }
    template <class T>
    const T& Pick(const std::vector<T>& v) {
        return v[Below(v.size())];
    }

    // Text of a name or value: letters with, now and then, blanks, quotes, control bytes and
    // characters beyond ASCII (bytes of the code page, or UTF-8 for a Unicode file).
    std::string Text(size_t maxLen, bool unicode, bool nul) {
        static const std::vector<std::string> kWide = {"\xC3\xA9", "\xC5\x82",     "\xE2\x82\xAC",
                                                       "\xD0\x96", "\xE4\xB8\xAD", "\xC3\x9F"};
        std::string s;
        const size_t n = Below(maxLen + 1);
        for (size_t i = 0; i < n; ++i) {
            const size_t r = Below(100);
            if (r < 70) {
                s += static_cast<char>("abcXYZ0123456789,.:;_-+ "[Below(24)]);
            } else if (r < 76) {
                s += Chance(50) ? '"' : '\'';
            } else if (r < 82) {
                s += static_cast<char>("\t\v\f \x1a \x01\x1f\x7f"[Below(9)]);
            } else if (r < 86 && nul) {
                s += '\0';
            } else if (r < 90) {
                s += static_cast<char>("=[];#"[Below(5)]);
            } else if (unicode) {
                s += Pick(kWide);
            } else {
                s += static_cast<char>(0x80 + Below(128));
            }
        }
        return s;
    }

    std::string Blanks() {
        std::string s;
        const size_t n = Chance(60) ? 0 : 1 + Below(3);
        for (size_t i = 0; i < n; ++i) s += static_cast<char>(" \t\x1a\v\f"[Below(5)]);
        return s;
    }

  private:
    std::mt19937_64 rng_;
};

const std::vector<std::string> kSections = {"OPCJE", "opcje", "MAX", "Okno", "A", "b"};
const std::vector<std::string> kKeys = {"IMPULS1", "impuls1", "K", "k", "CENA1", "x y"};

std::string Quote(Gen& g, std::string v) {
    switch (g.Below(6)) {
        case 0:
            return '"' + v + '"';
        case 1:
            return '\'' + v + '\'';
        case 2:
            return '"' + v + '\'';
        case 3:
            return '"' + v;
        default:
            return v;
    }
}

std::string ValueText(Gen& g, bool unicode, bool nul) {
    std::string v;
    const size_t r = g.Below(100);
    if (r < 6) {
        v = std::string(1000 + g.Below(60), 'v');  // around the 1023-character cut
    } else if (r < 9) {
        v = std::string(2000 + g.Below(2000), 'w') + g.Text(10, unicode, nul);
    } else {
        v = g.Text(12, unicode, nul);
    }
    return Quote(g, v);
}

std::string HeaderLine(Gen& g, const std::string& name, bool unicode) {
    const size_t r = g.Below(100);
    if (r < 60) return "[" + name + "]";
    if (r < 68) return "[" + g.Blanks() + name + g.Blanks() + "]" + g.Blanks();
    if (r < 74) return "[" + name;  // no "]": a key line
    if (r < 80) return "[" + name + "] " + g.Text(6, unicode, false);
    if (r < 85) return "[" + name + "]x]";
    if (r < 89) return "[]";
    if (r < 93) return "[" + name + std::string(1, '\0') + "junk]";
    return "[" + name + "]=" + g.Text(4, unicode, false);
}

std::string KeyLine(Gen& g, const std::string& name, bool unicode) {
    const size_t r = g.Below(100);
    std::string line = g.Blanks() + name;
    if (r < 8) return line + g.Blanks();  // no "="
    if (r < 12) line += std::string(1, '\0') + "tail";
    line += g.Blanks() + "=" + g.Blanks() + ValueText(g, unicode, g.Chance(15));
    if (g.Chance(20)) line += g.Blanks();
    return line;
}

struct GeneratedFile {
    std::string Text;  // UTF-8 for a Unicode file, the code page's bytes otherwise
    tt::IniEncoding Encoding = tt::IniEncoding::Plain;
    bool Exists = true;
};

GeneratedFile MakeFile(Gen& g) {
    GeneratedFile f;
    if (g.Chance(5)) {
        f.Exists = false;
        return f;
    }
    const size_t e = g.Below(100);
    f.Encoding = e < 70   ? tt::IniEncoding::Plain
                 : e < 80 ? tt::IniEncoding::Utf8Bom
                 : e < 90 ? tt::IniEncoding::Utf16Le
                          : tt::IniEncoding::Utf16Be;
    const bool unicode = f.Encoding != tt::IniEncoding::Plain;
    static const std::vector<std::string> kEnds = {"\r\n", "\r\n", "\r\n", "\n", "\r", "\r\r\n"};
    const std::string fileEnd = g.Pick(kEnds);
    const size_t lines = g.Below(14);
    for (size_t i = 0; i < lines; ++i) {
        const size_t r = g.Below(100);
        std::string line;
        if (r < 22) {
            line = HeaderLine(g, g.Pick(kSections), unicode);
        } else if (r < 75) {
            line = KeyLine(g, g.Pick(kKeys), unicode);
        } else if (r < 82) {
            line = g.Blanks();
        } else if (r < 87) {
            line = ";" + g.Text(10, unicode, false);
        } else {
            line = g.Text(20, unicode, g.Chance(30));
        }
        f.Text += line;
        if (i + 1 < lines || g.Chance(80)) f.Text += g.Chance(85) ? fileEnd : g.Pick(kEnds);
    }
    return f;
}

std::string FileBytes(const GeneratedFile& f) {
    if (f.Encoding == tt::IniEncoding::Plain) return f.Text;
    if (f.Encoding == tt::IniEncoding::Utf8Bom) return "\xEF\xBB\xBF" + f.Text;
    // UTF-16 made by the system's own converter, not ours.
    const int n = MultiByteToWideChar(CP_UTF8, 0, f.Text.data(), int(f.Text.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, f.Text.data(), int(f.Text.size()), w.data(), n);
    const bool be = f.Encoding == tt::IniEncoding::Utf16Be;
    std::string out = be ? "\xFE\xFF" : "\xFF\xFE";
    for (const wchar_t c : w) {
        const auto hi = static_cast<char>(static_cast<unsigned>(c) >> 8);
        const auto lo = static_cast<char>(static_cast<unsigned>(c) & 0xFF);
        out += be ? hi : lo;
        out += be ? lo : hi;
    }
    return out;
}

// --- The comparison ------------------------------------------------------------------------

struct Tally {
    uint64_t Cases = 0, Reads = 0, ReadsSame = 0, Writes = 0, WritesSame = 0, Untouched = 0;
    uint64_t Failures = 0, EndedEarly = 0, ReadsKnown = 0, WritesLayout = 0, WritesLineBreak = 0;
    std::map<std::string, uint64_t> Known;  // reason -> count
};

class Runner {
  public:
    Runner(const std::filesystem::path& dir, uint64_t seed, bool verbose)
        : dir_(dir), canon_((dir / "canon.ini").string()), seed_(seed), verbose_(verbose) {}

    void RunCase(uint64_t index);
    const Tally& Counts() const { return tally_; }

  private:
    // The system's own rewrite of `bytes`: a section added and taken away again makes it save
    // the whole file in its layout.
    std::string Canon(const std::string& bytes) {
        Put(canon_, bytes);
        WritePrivateProfileStringA("~canon~", "k", "v", canon_.c_str());
        WritePrivateProfileStringA("~canon~", nullptr, nullptr, canon_.c_str());
        return Get(canon_).value_or("");
    }
    void Fail(uint64_t index, const std::string& what);
    // The layout features of `bytes` that the system's whole-file rewrite changes.
    std::vector<std::string> RewriteReasons(const std::string& bytes);
    struct Oddities {
        bool LeadingKeys = false;  // keys before the first header
        bool EmptyHeader = false;  // a "[]" line
    };
    static Oddities FindOddities(const std::string& bytes);

    std::filesystem::path dir_;
    std::string wine_, canon_;
    uint64_t seed_;
    bool verbose_;
    Tally tally_;
};

void Runner::Fail(uint64_t index, const std::string& what) {
    ++tally_.Failures;
    if (tally_.Failures <= 20) {
        std::printf("DIFFERENCE in case %llu (replay: --seed %llu --case %llu):\n%s\n", ull(index),
                    ull(seed_), ull(index), what.c_str());
    }
}

std::vector<std::string> SplitAnyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += text[i];
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

bool Blank(char c) {
    return (c >= '\t' && c <= '\r') || c == '\x1a' || c == ' ';
}

std::vector<std::string> Runner::RewriteReasons(const std::string& bytes) {
    std::vector<std::string> reasons;
    auto add = [&reasons](const char* r) {
        for (const auto& x : reasons)
            if (x == r) return;
        reasons.emplace_back(r);
    };
    const std::string text = tt::DecodeIniFile(bytes).Text;
    if (text.find('\0') != std::string::npos) add("cuts lines at NUL");
    for (const std::string& line : SplitAnyLines(text)) {
        size_t b = 0, e = line.size();
        while (b < e && Blank(line[b])) ++b;
        while (e > b && Blank(line[e - 1])) --e;
        if (b == e) {
            add("drops blank lines");
            continue;
        }
        if (b > 0) add("drops indentation");
        if (e < line.size()) add("drops trailing blanks");
        const std::string t = line.substr(b, e - b);
        const size_t close = t.rfind(']');
        if (t[0] == '[' && close != std::string::npos) {
            const std::string inner = t.substr(1, close - 1);
            if (close + 1 != t.size() ||
                (!inner.empty() && (Blank(inner.front()) || Blank(inner.back())))) {
                add("drops blanks and text around a header's name");
            }
            if (inner.empty() || inner[0] == '\0') add("drops a [] header");
            continue;
        }
        const size_t eq = t.find('=');
        if (eq == 0 || (eq != std::string::npos && t[0] == '\0')) add("merges lines of no name");
        if (eq != std::string::npos &&
            ((eq > 0 && Blank(t[eq - 1])) || (eq + 1 < t.size() && Blank(t[eq + 1])))) {
            add("drops spaces around '='");
        }
    }
    return reasons;
}

Runner::Oddities Runner::FindOddities(const std::string& bytes) {
    Oddities found;
    bool headerSeen = false;
    for (const std::string& line : SplitAnyLines(tt::DecodeIniFile(bytes).Text)) {
        size_t b = 0;
        while (b < line.size() && Blank(line[b])) ++b;
        if (b == line.size()) continue;
        const bool header = line[b] == '[' && line.find(']', b) != std::string::npos;
        found.LeadingKeys = found.LeadingKeys || (!headerSeen && !header);
        if (header) {
            headerSeen = true;
            size_t i = b + 1;
            while (i < line.size() && Blank(line[i])) ++i;
            found.EmptyHeader = found.EmptyHeader || line[i] == ']' || line[i] == '\0';
        }
    }
    return found;
}

void Runner::RunCase(uint64_t index) {
    Gen g(seed_ * 0x9E3779B97F4A7C15ULL + index);
    const GeneratedFile file = MakeFile(g);
    std::optional<std::string> own;
    // A file name of the case's own: the system keeps the last files it read in memory and,
    // unlike Windows, may write a file from there after it was deleted.
    DeleteFileA(wine_.c_str());
    wine_ = (dir_ / ("case" + std::to_string(index) + ".ini")).string();
    if (file.Exists) {
        own = FileBytes(file);
        // Many files start out in the system's own layout, where every write must agree byte
        // for byte.
        if (g.Chance(40)) own = Canon(*own);
        Put(wine_, *own);
    }
    ++tally_.Cases;
    const std::string start = own ? Show(*own, 400) : "(no file)";
    const size_t ops = 1 + g.Below(8);
    for (size_t op = 0; op < ops; ++op) {
        std::string section = g.Chance(12) ? "NEW" + std::to_string(g.Below(3)) : g.Pick(kSections);
        std::string key = g.Pick(kKeys);
        if (g.Chance(10)) section = g.Blanks() + section + g.Blanks();
        if (g.Chance(10)) key = g.Blanks() + key + g.Blanks();
        const bool emptySection = g.Chance(3);
        if (emptySection) section.clear();
        const std::string where = "  file at start " + start + "\n  op " + std::to_string(op) +
                                  " section " + Show(section) + " key " + Show(key);
        const std::optional<std::string> wineBefore = Get(wine_);

        if (emptySection || g.Chance(55)) {
            std::string def = g.Chance(40) ? "" : ValueText(g, false, false);
            def = def.substr(0, def.find('\0'));
            if (g.Chance(20)) def += "   ";
            char buf[1024];
            const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf,
                                                     sizeof buf, wine_.c_str());
            const std::string system(buf, n);
            const std::string ours = TextToDisk(
                tt::ReadIniBytes(own, TextFromDisk(section), TextFromDisk(key), TextFromDisk(def)));
            ++tally_.Reads;
            if (system == ours) {
                ++tally_.ReadsSame;
            } else if (emptySection && own &&
                       (FindOddities(*own).LeadingKeys || FindOddities(*own).EmptyHeader)) {
                ++tally_.ReadsKnown;
                ++tally_.Known
                      ["read of section \"\": Wine answers the keys before the first "
                       "header, Windows those under []"];
            } else if (own && wineBefore && *wineBefore != *own &&
                       TextToDisk(tt::ReadIniBytes(wineBefore, TextFromDisk(section),
                                                   TextFromDisk(key), TextFromDisk(def))) ==
                           system) {
                // An earlier rewrite of Wine's changed what the file says (a line cut at NUL
                // loses the NUL that kept a blank before it from being trimmed); on Wine's
                // bytes we read what Wine reads.
                ++tally_.ReadsKnown;
                ++tally_.Known["read after Wine's whole-file rewrite changed the file"];
            } else {
                Fail(index, where + " default " + Show(def) + "\n  system " + Show(system) +
                                "\n  ours   " + Show(ours));
                return;
            }
            continue;
        }

        // A write, now and then of the value the file already holds.
        std::string value = ValueText(g, false, false);
        if (g.Chance(25) && own) {
            if (const auto stored = tt::FindIniValue(tt::DecodeIniFile(*own).Text,
                                                     TextFromDisk(section), TextFromDisk(key))) {
                value = TextToDisk(*stored);
            }
        }
        if (g.Chance(10)) value = g.Blanks() + value;
        if (g.Chance(4)) value += g.Chance(50) ? "\r\nX=1" : "\n";
        value = value.substr(0, value.find('\0'));
        std::string systemValue = value;
        bool lineBreak = false;
        for (char& c : systemValue) {
            if (c == '\r' || c == '\n') {
                c = ' ';
                lineBreak = true;
            }
        }
        WritePrivateProfileStringA(section.c_str(), key.c_str(), systemValue.c_str(),
                                   wine_.c_str());
        const std::optional<std::string> wineAfter = Get(wine_);
        const std::optional<std::string> written =
            tt::WriteIniBytes(own, TextFromDisk(section), TextFromDisk(key), TextFromDisk(value));
        const std::optional<std::string> ownBefore = own;
        if (written) own = written;
        ++tally_.Writes;
        tally_.WritesLineBreak += lineBreak ? 1 : 0;
        if (lineBreak)
            ++tally_.Known["write of a value with CR/LF: ours puts spaces in their place"];
        const std::string detail = where + " value " + Show(value) + "\n  system " +
                                   Show(wineAfter.value_or("(none)"), 600) + "\n  ours   " +
                                   Show(own.value_or("(none)"), 600);
        if (!written != (wineAfter == wineBefore)) {
            // A value that ends in a blank reads back without it, so Wine finds it changed and
            // rewrites the whole file (in its own layout), where ours puts the same line back
            // and so leaves the bytes alone, as an edit in place does.
            const bool endsInBlank =
                !value.empty() && ((value.back() >= '\t' && value.back() <= '\r') ||
                                   value.back() == ' ' || value.back() == '\x1a');
            if (!written && own && wineAfter && endsInBlank && Canon(*own) == Canon(*wineAfter)) {
                ++tally_.Known
                      ["write of a value ending in a blank: Wine rewrites the whole file, "
                       "ours puts the same line back"];
                continue;
            }
            Fail(index, where + " value " + Show(value) +
                            (written ? "\n  ours rewrote, the system left the file alone"
                                     : "\n  ours left the file alone, the system rewrote it") +
                            "\n" + detail);
            return;
        }
        if (!written) ++tally_.Untouched;
        if (own == wineAfter) {
            ++tally_.WritesSame;
            continue;
        }
        const std::string before = ownBefore.value_or("");
        if (!wineAfter || Canon(before) == before) {
            Fail(index, detail + "\n  (the file was in the system's own layout)");
            return;
        }
        // Both go through the rewrite, because a reload trims what the system's writer kept in
        // memory (the blanks at the end of a new name or value); the exact bytes of the written
        // line are compared whenever the file was in the system's layout before.
        if (const std::string canon = Canon(*own); canon != Canon(*wineAfter)) {
            Fail(index, detail + "\n  ours in the system's layout " + Show(canon, 600));
            return;
        }
        ++tally_.WritesLayout;
        if (wineBefore != ownBefore) {
            ++tally_.Known["write: layout difference carried over from an earlier Wine rewrite"];
        } else {
            const std::vector<std::string> reasons = RewriteReasons(before);
            if (reasons.empty()) {
                Fail(index, detail + "\n  (the system's rewrite differs for no known reason)");
                return;
            }
            for (const auto& r : reasons) ++tally_.Known["write: Wine's whole-file rewrite " + r];
        }
        if (verbose_) {
            std::printf("case %llu: rewrite\n%s\n", ull(index), detail.c_str());
        }
        if (FindOddities(before).EmptyHeader) {
            // Wine's file lost its [] header, so its keys now belong to the section before.
            ++tally_.EndedEarly;
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t cases = 2000;
    uint64_t seed = static_cast<uint64_t>(
        std::chrono::system_clock::now().time_since_epoch().count() % 1000000007);
    std::optional<uint64_t> only;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--cases" && i + 1 < argc) {
            cases = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--seed" && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--case" && i + 1 < argc) {
            only = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--verbose") {
            verbose = true;
        } else {
            std::fprintf(stderr, "usage: %s [--cases N] [--seed S] [--case K] [--verbose]\n",
                         argv[0]);
            return 2;
        }
    }
    std::printf("ini_vs_system: seed %llu, code page %u\n", ull(seed), GetACP());
    std::fflush(stdout);
    tt::testing::TempFolder dir("tt_ini_vs_system");
    Runner runner(dir.Path(), seed, verbose);
    if (only) {
        runner.RunCase(*only);
    } else {
        for (uint64_t i = 0; i < cases; ++i) runner.RunCase(i);
    }
    const Tally& t = runner.Counts();
    std::printf("cases %llu\n", ull(t.Cases));
    std::printf("reads compared %llu: equal %llu, known Wine difference %llu\n", ull(t.Reads),
                ull(t.ReadsSame), ull(t.ReadsKnown));
    std::printf(
        "writes compared %llu: equal bytes %llu (left untouched by both %llu), equal in Wine's "
        "whole-file layout %llu; with CR/LF in the value %llu\n",
        ull(t.Writes), ull(t.WritesSame), ull(t.Untouched), ull(t.WritesLayout),
        ull(t.WritesLineBreak));
    std::printf("known differences of Wine from Windows (expected):\n");
    for (const auto& [reason, count] : t.Known) {
        std::printf("  %6llu  %s\n", ull(count), reason.c_str());
    }
    std::printf(
        "  %6llu  cases ended after Wine's rewrite merged a [] section into the one "
        "before\n",
        ull(t.EndedEarly));
    std::printf("unexpected differences: %llu%s\n", ull(t.Failures), t.Failures ? " (FAILED)" : "");
    return t.Failures ? 1 : 0;
}
