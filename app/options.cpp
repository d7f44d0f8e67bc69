#include "app/options.h"

#include <algorithm>

#include "base/datetime.h"

namespace tt {

namespace {

constexpr const char* kVersion = "0.1.0";

bool HasControlCharacter(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return true;
    }
    return false;
}

// The log keeps dates and times as text, and the totals read the dates back: a pattern whose
// text does not read back as the same date or time would make every record unreadable.
std::string RoundTripFault(const FormatSettings& fs) {
    for (const TDateTime date : {EncodeDate(2000, 12, 31), EncodeDate(2009, 1, 5)}) {
        const std::string text = DateToStr(date, fs);
        TDateTime back = 0;
        if (!TryStrToDate(text, fs, back) || DayOf(back) != DayOf(date))
            return "--locale: a date written as \"" + text + "\" cannot be read back";
    }
    for (const TDateTime time : {EncodeTime(13, 45, 56), EncodeTime(1, 2, 3)}) {
        const std::string text = TimeToStr(time, fs);
        TDateTime back = 0;
        if (!TryStrToTime(text, fs, back) || TimeToStr(back, fs) != text)
            return "--locale: a time written as \"" + text + "\" cannot be read back";
    }
    return {};
}

}  // namespace

size_t TakeFolderOrLocale(const std::vector<std::string>& args, size_t i, ProgramOptions& options,
                          std::string& error) {
    const std::string& arg = args[i];
    const size_t left = args.size() - i - 1;
    auto fail = [&error](std::string message) {
        error = std::move(message);
        return size_t{0};
    };
    if (arg == "--dir") {
        if (left < 1 || args[i + 1].empty()) return fail("--dir needs a folder");
        options.Dir = args[i + 1];
        return 2;
    }
    if (arg.rfind("--dir=", 0) == 0) {
        if (arg.size() == 6) return fail("--dir needs a folder");
        options.Dir = arg.substr(6);
        return 1;
    }
    if (arg != "--locale") return 0;
    if (left < 3) return fail("--locale needs SHORTDATE LONGTIME DECIMAL");
    const std::string& date = args[i + 1];
    const std::string& time = args[i + 2];
    const std::string& decimal = args[i + 3];
    if (date.empty() || time.empty()) return fail("--locale needs SHORTDATE LONGTIME DECIMAL");
    // A TAB or a line break would split the log's fields and lines.
    if (HasControlCharacter(date) || HasControlCharacter(time) || HasControlCharacter(decimal)) {
        return fail(
            "--locale: the patterns and the separator may not hold control characters such as "
            "TAB or a line break");
    }
    // One byte only: the separator is a char, and half of a UTF-8 letter would corrupt every
    // number the program writes.
    if (decimal.size() != 1 || static_cast<unsigned char>(decimal[0]) >= 0x80 ||
        (decimal[0] >= '0' && decimal[0] <= '9')) {
        return fail("--locale: the decimal separator must be one character, not a digit: " +
                    decimal);
    }
    options.Format = MakeFormatSettings(date, time, decimal[0]);
    if (std::string fault = RoundTripFault(*options.Format); !fault.empty()) {
        return fail(std::move(fault));
    }
    return 4;
}

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
    ParsedOptions result;
    ProgramOptions& options = result.Options;
    auto fail = [&result](std::string message) {
        result.Error = std::move(message);
        return result;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string error;
        if (const size_t taken = TakeFolderOrLocale(args, i, options, error); taken != 0) {
            i += taken - 1;
        } else if (!error.empty()) {
            return fail(std::move(error));
        } else if (arg == "--autostart" || arg.rfind("--autostart=", 0) == 0) {
            std::string value;
            if (arg == "--autostart") {
                if (i + 1 >= args.size()) return fail("--autostart needs on or off");
                value = args[++i];
            } else {
                value = arg.substr(12);
            }
            if (value != "on" && value != "off")
                return fail("--autostart needs on or off, not: " + value);
            options.Autostart = value == "on";
        } else if (arg == "--simulate") {
            options.Simulate = true;
        } else if (arg == "--help" || arg == "-h") {
            options.Help = true;
        } else if (arg == "--version") {
            options.Version = true;
        } else {
            return fail("unknown option: " + arg);
        }
    }
    return result;
}

ParsedOptions ParseOptions(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    return ParseOptions(args);
}

std::string UsageText(std::string_view program) {
    std::string text = "Usage: ";
    text += program;
    text +=
        " [options]\n"
        "A pulse meter for dial-up connections, in the tray.\n"
        "\n"
        "  --dir DIR          keep taktomat.ini, raport.txt and w95bug.txt in DIR\n"
        "  --locale SHORTDATE LONGTIME DECIMAL\n"
        "                     date and time patterns and the decimal separator to use\n"
        "                     instead of the user's, e.g. --locale dd.mm.yyyy hh:nn:ss ,\n"
        "  --simulate         dial on a simulated line instead of the dial-up service\n"
        "  --autostart on|off\n"
        "                     start with the desktop session from now on, or no longer,\n"
        "                     and end\n"
        "  --help             show this text and end\n"
        "  --version          show the version and end\n";
    return text;
}

namespace {

// `text` in lines of at most `width` characters, each after `indent`; a word longer than a
// line keeps a line of its own rather than being cut.
std::string WrapWords(std::string_view text, size_t width, std::string_view indent) {
    std::string out;
    std::string line;
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of(' ', at);
        if (start == std::string_view::npos) break;
        const size_t end = std::min(text.find(' ', start), text.size());
        const std::string_view word = text.substr(start, end - start);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out.append(indent).append(line).append("\n");
            line.clear();
        }
        line.append(line.empty() ? "" : " ").append(word);
        at = end;
    }
    if (!line.empty()) out.append(indent).append(line).append("\n");
    return out;
}

}  // namespace

std::string UsageTextForBox(std::string_view program, size_t width) {
    const std::string usage = UsageText(program);
    std::string out;
    std::string option;       // the option whose text is being gathered
    std::string description;  // its text so far, over the console's continuation lines
    const auto flush = [&] {
        if (option.empty()) return;
        out.append(option).append("\n").append(WrapWords(description, width, "    "));
        option.clear();
        description.clear();
    };
    size_t at = 0;
    while (at < usage.size()) {
        const size_t end = std::min(usage.find('\n', at), usage.size());
        const std::string_view line = std::string_view(usage).substr(at, end - at);
        at = end + 1;
        const size_t indent = line.find_first_not_of(' ');
        if (indent == 2 && line.substr(2).starts_with("--")) {
            flush();
            // The option and its text are parted by a run of blanks; a long option has its
            // text on the next line.
            const size_t gap = line.find("  ", 2);
            option = std::string(line.substr(2, gap == std::string_view::npos ? gap : gap - 2));
            if (gap != std::string_view::npos) description = std::string(Trim(line.substr(gap)));
        } else if (indent != std::string_view::npos && indent > 2 && !option.empty()) {
            description.append(description.empty() ? "" : " ").append(Trim(line));
        } else {
            flush();
            out.append(WrapWords(line, width, "")).append(line.empty() ? "\n" : "");
        }
    }
    flush();
    return out;
}

std::string VersionText() {
    return std::string("Taktomat 2000 ") + kVersion + "\n";
}

}  // namespace tt
