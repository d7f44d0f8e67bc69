#include "app/scenario/script.h"

#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <set>

#include "base/datetime.h"
#include "platform/ras/simulated_line.h"

namespace tt::scenario {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string Quoted(std::string_view text) {
    // Built by appends: GCC 12 at -O3 warns falsely about `"\"" + std::string` (-Wrestrict).
    std::string out = "\"";
    out += Printable(text);
    out += '"';
    return out;
}

// Checks of one command's arguments (Args without the name); a text for what is wrong.
using Check = std::function<std::string(const std::vector<std::string>&)>;

std::string Count(const std::vector<std::string>& a, size_t min, size_t max) {
    if (a.size() < min || a.size() > max) {
        if (min == max) return "takes " + std::to_string(min) + " argument(s)";
        if (max == SIZE_MAX) return "takes at least " + std::to_string(min) + " argument(s)";
        return "takes " + std::to_string(min) + " to " + std::to_string(max) + " arguments";
    }
    return {};
}

std::string Integers(const std::vector<std::string>& a, size_t from, size_t to, int64_t min) {
    for (size_t i = from; i < to && i < a.size(); ++i) {
        int64_t v = 0;
        if (!ParseInt(a[i], v)) return "needs a whole number, not " + Quoted(a[i]);
        if (v < min) return "needs a number of at least " + std::to_string(min);
    }
    return {};
}

Check Exactly(size_t n) {
    return [n](const std::vector<std::string>& a) { return Count(a, n, n); };
}

// W.C [X Y]
std::string Pointer(const std::vector<std::string>& a) {
    if (a.size() != 1 && a.size() != 3) return "takes W.C or W.C X Y";
    return Integers(a, 1, 3, INT32_MIN);
}

// W.C X Y [right]
std::string PointerButton(const std::vector<std::string>& a) {
    if (auto e = Count(a, 3, 4); !e.empty()) return e;
    if (a.size() == 4 && a[3] != "right") return "takes right or nothing after X Y";
    return Integers(a, 1, 3, INT32_MIN);
}

const std::set<std::string, std::less<>> kKeys{"up",    "down",  "left", "right",
                                               "space", "enter", "esc",  "backspace"};

const std::map<std::string, Check, std::less<>>& Commands() {
    static const std::map<std::string, Check, std::less<>> commands{
        {"locale",
         [](const auto& a) {
             if (auto e = Count(a, 3, 3); !e.empty()) return e;
             if (a[2].size() != 1)
                 return std::string("takes one character as the decimal separator");
             return std::string();
         }},
        {"screen",
         [](const auto& a) {
             if (auto e = Count(a, 6, 6); !e.empty()) return e;
             return Integers(a, 0, 6, 0);
         }},
        {"now",
         [](const auto& a) {
             if (auto e = Count(a, 2, 2); !e.empty()) return e;
             WallTime t;
             if (!ParseWallTime(a[0], a[1], t))
                 return "needs YYYY-MM-DD HH:MM:SS, not " + Quoted(a[0] + " " + a[1]);
             return std::string();
         }},
        {"host", Exactly(1)},
        {"file", Exactly(2)},
        {"delete", Exactly(1)},
        {"phonebook", [](const auto& a) { return Count(a, 0, SIZE_MAX); }},
        {"line",
         [](const auto& a) {
             if (auto e = Count(a, 2, SIZE_MAX); !e.empty()) return e;
             if (!ParseDialPlan({a.begin() + 1, a.end()}))
                 return std::string("has steps that do not make a dial");
             return std::string();
         }},
        {"dial", Exactly(1)},
        {"answer",
         [](const auto& a) {
             if (auto e = Count(a, 1, 1); !e.empty()) return e;
             if (a[0] != "ok" && a[0] != "cancel" && a[0] != "yes" && a[0] != "no") {
                 return "takes ok, cancel, yes or no, not " + Quoted(a[0]);
             }
             return std::string();
         }},
        {"start", Exactly(0)},
        {"restart", Exactly(0)},
        {"tick",
         [](const auto& a) {
             if (auto e = Count(a, 0, 1); !e.empty()) return e;
             return Integers(a, 0, 1, 0);
         }},
        {"wait",
         [](const auto& a) {
             if (auto e = Count(a, 1, 1); !e.empty()) return e;
             return Integers(a, 0, 1, 0);
         }},
        {"stall",
         [](const auto& a) {
             if (auto e = Count(a, 1, 1); !e.empty()) return e;
             return Integers(a, 0, 1, 0);
         }},
        {"click", Pointer},
        {"rclick", Pointer},
        {"dblclick", Pointer},
        {"press", PointerButton},
        {"move",
         [](const auto& a) {
             if (auto e = Count(a, 3, 3); !e.empty()) return e;
             return Integers(a, 1, 3, INT32_MIN);
         }},
        {"release", PointerButton},
        {"bar",
         [](const auto& a) {
             if (auto e = Count(a, 2, 2); !e.empty()) return e;
             return Integers(a, 1, 2, 0);
         }},
        {"key",
         [](const auto& a) {
             if (auto e = Count(a, 2, 2); !e.empty()) return e;
             if (a[1].size() != 1 && !kKeys.contains(a[1])) return "knows no key " + Quoted(a[1]);
             return std::string();
         }},
        {"type", Exactly(2)},
        {"select",
         [](const auto& a) {
             if (auto e = Count(a, 2, 2); !e.empty()) return e;
             return Integers(a, 1, 2, 0);
         }},
        {"tray",
         [](const auto& a) {
             if (a.size() == 1 && (a[0] == "click" || a[0] == "dblclick")) return std::string();
             if (a.size() == 2 && a[0] == "menu") return std::string();
             return std::string("takes click, dblclick or menu ITEM");
         }},
        {"print", [](const auto& a) { return Count(a, 1, SIZE_MAX); }},
        {"expect", Exactly(2)},
        {"snapshot", Exactly(2)},
    };
    return commands;
}

}  // namespace

std::vector<std::string> SplitWords(std::string_view line, int lineNumber) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#') break;
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c != '\\') {
                    word += c;
                    continue;
                }
                if (i == line.size()) break;
                switch (line[i++]) {
                    case 't':
                        word += '\t';
                        break;
                    case 'r':
                        word += '\r';
                        break;
                    case 'n':
                        word += '\n';
                        break;
                    case '"':
                        word += '"';
                        break;
                    case '\\':
                        word += '\\';
                        break;
                    default:
                        throw ScriptError(lineNumber,
                                          "unknown escape \\" + std::string(1, line[i - 1]));
                }
            }
            if (!closed) throw ScriptError(lineNumber, "quote not closed");
            // "a"b would silently glue two words together: more likely a missing blank.
            if (i < line.size() && !IsBlank(line[i]) && line[i] != '#') {
                throw ScriptError(lineNumber, "blank expected after the closing quote");
            }
        } else {
            while (i < line.size() && !IsBlank(line[i])) word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::vector<Command> ParseScript(std::string_view text) {
    std::vector<Command> script;
    int number = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        ++number;
        std::vector<std::string> words = SplitWords(text.substr(pos, end - pos), number);
        pos = end + 1;
        if (words.empty()) continue;
        const auto it = Commands().find(words[0]);
        if (it == Commands().end())
            throw ScriptError(number, "unknown command " + Quoted(words[0]));
        const std::vector<std::string> args(words.begin() + 1, words.end());
        if (std::string fault = it->second(args); !fault.empty()) {
            throw ScriptError(number, words[0] + " " + fault);
        }
        if (words[0] == "print") {
            for (const auto& e : args) ParseExpression(e, number);
        } else if (words[0] == "expect") {
            ParseExpression(args[0], number);
        }
        script.push_back({number, std::move(words)});
    }
    return script;
}

Expression ParseExpression(std::string_view text, int lineNumber) {
    Expression e;
    auto bad = [&](const std::string& why) {
        return ScriptError(lineNumber, "expression " + Quoted(text) + ": " + why);
    };
    if (text.empty()) throw bad("empty");
    if (text == "beeps") {
        e.What = Expression::Kind::Beeps;
        return e;
    }
    if (text == "connections") {
        e.What = Expression::Kind::Connections;
        return e;
    }
    if (text == "messages") {
        e.What = Expression::Kind::Messages;
        return e;
    }
    if (text.starts_with("file:")) {
        e.What = Expression::Kind::File;
        e.Name = text.substr(5);
        if (e.Name.empty()) throw bad("no file name");
        return e;
    }
    if (text.starts_with("pixel:")) {
        std::vector<std::string_view> parts;
        std::string_view rest = text.substr(6);
        for (size_t colon; (colon = rest.find(':')) != std::string_view::npos;) {
            parts.push_back(rest.substr(0, colon));
            rest.remove_prefix(colon + 1);
        }
        parts.push_back(rest);
        int64_t x = 0, y = 0;
        if (parts.size() != 3 || parts[0].empty() || !ParseInt(parts[1], x) ||
            !ParseInt(parts[2], y) || x < 0 || y < 0 || x > INT32_MAX || y > INT32_MAX) {
            throw bad("needs pixel:W:X:Y");
        }
        e.What = Expression::Kind::Pixel;
        e.Window = parts[0];
        e.X = static_cast<int>(x);
        e.Y = static_cast<int>(y);
        return e;
    }
    const size_t first = text.find('.');
    if (first == std::string_view::npos) {
        e.What = Expression::Kind::ProgramValue;
        e.Name = text;
        return e;
    }
    const size_t last = text.rfind('.');
    e.Window = text.substr(0, first);
    e.Name = text.substr(last + 1);
    if (e.Window.empty() || e.Name.empty()) throw bad("a name is missing around a dot");
    if (first == last) {
        e.What = Expression::Kind::WindowProperty;
        return e;
    }
    if (text.find('.', first + 1) != last || last == first + 1)
        throw bad("needs W.PROP or W.C.PROP");
    e.What = Expression::Kind::ComponentProperty;
    e.Component = text.substr(0, last);
    return e;
}

std::string Printable(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
                    out += hex;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string BeepsText(const std::vector<int>& beeps) {
    std::string out;
    for (int b : beeps) {
        if (!out.empty()) out += ' ';
        out += std::to_string(b);
    }
    return out;
}

std::string MessagesText(const std::vector<MessageRecord>& boxes) {
    std::string out;
    for (const auto& b : boxes) {
        if (!out.empty()) out += " ;; ";
        out += b.Caption + "|" + b.Text + "|" + std::to_string(b.Flags);
    }
    return out;
}

bool ParseInt(std::string_view text, int64_t& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool ParseWallTime(std::string_view date, std::string_view time, WallTime& out) {
    auto field = [](std::string_view s, size_t at, size_t len, int& v) {
        int64_t n = 0;
        if (s.size() < at + len) return false;
        for (char c : s.substr(at, len)) {
            if (c < '0' || c > '9') return false;
        }
        if (!ParseInt(s.substr(at, len), n)) return false;
        v = static_cast<int>(n);
        return true;
    };
    WallTime t;
    if (date.size() != 10 || date[4] != '-' || date[7] != '-' || time.size() != 8 ||
        time[2] != ':' || time[5] != ':') {
        return false;
    }
    if (!field(date, 0, 4, t.Year) || !field(date, 5, 2, t.Month) || !field(date, 8, 2, t.Day) ||
        !field(time, 0, 2, t.Hour) || !field(time, 3, 2, t.Minute) ||
        !field(time, 6, 2, t.Second)) {
        return false;
    }
    if (!IsValidDate(t.Year, t.Month, t.Day) || t.Hour > 23 || t.Minute > 59 || t.Second > 59)
        return false;
    out = t;
    return true;
}

}  // namespace tt::scenario
