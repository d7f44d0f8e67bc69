#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/format.h"

namespace tt {

// What every entry of the program (the Windows and the Linux executables) accepts on its
// command line.
struct ProgramOptions {
    std::string Dir;                       // --dir DIR: the program folder; empty: the usual one
    std::optional<FormatSettings> Format;  // --locale SHORTDATE LONGTIME DECIMAL
    bool Simulate = false;                 // --simulate: the simulated line instead of dial-up
    bool Help = false;                     // --help
    bool Version = false;                  // --version
    std::optional<bool> Autostart;         // --autostart on|off: start with the session or not
};

struct ParsedOptions {
    ProgramOptions Options;
    std::string Error;  // empty when the command line was understood
    bool Ok() const { return Error.empty(); }
};

// The arguments after the program's name. An unknown option, a missing value or a decimal
// separator of more than one character is an error that names the culprit.
ParsedOptions ParseOptions(const std::vector<std::string>& args);
ParsedOptions ParseOptions(int argc, const char* const* argv);

// --dir DIR, --dir=DIR or --locale SHORTDATE LONGTIME DECIMAL at args[i], for every command
// line that reads the program's files: how many arguments it took, 0 when args[i] is neither
// (or, with `error` set, when its values are wrong).
size_t TakeFolderOrLocale(const std::vector<std::string>& args, size_t i, ProgramOptions& options,
                          std::string& error);

// The text of --help, for a program called `program`.
std::string UsageText(std::string_view program);
// The same for a message box: its font is proportional, so the two columns that line up on a
// console would not, and it breaks a line that is too wide for it wherever it must. Each option
// is a line of its own with its text below, in lines of at most `width` characters broken
// between words.
std::string UsageTextForBox(std::string_view program, size_t width = 52);
// The text of --version: the name and the version number, one line.
std::string VersionText();

}  // namespace tt
