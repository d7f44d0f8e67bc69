#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tt::scenario {

// A fault of the script itself (not of the program under test), with the line it is on.
class ScriptError : public std::runtime_error {
  public:
    ScriptError(int line, const std::string& text) : std::runtime_error(text), line_(line) {}
    int Line() const { return line_; }

  private:
    int line_;
};

// One command of a script: its words after quotes and escapes are resolved.
struct Command {
    int Line = 0;
    std::vector<std::string> Args;  // Args[0] is the command's name
};

// Splits one line into words: blanks separate, "#" outside quotes ends the line, a quoted word
// may hold blanks and \t \r \n \" \\. Throws ScriptError for an open quote or another escape.
std::vector<std::string> SplitWords(std::string_view line, int lineNumber);

// Every command of a script, each checked for a known name and the number and form of its
// arguments, so a typo stops the run before anything happened rather than halfway.
std::vector<Command> ParseScript(std::string_view text);

// What an expression of `print` and `expect` asks for.
struct Expression {
    enum class Kind {
        WindowProperty,     // W.PROP
        ComponentProperty,  // W.C.PROP
        ProgramValue,       // PulseCount, IsOnline, ...
        Beeps,
        Messages,
        File,         // file:NAME
        Pixel,        // pixel:W:X:Y
        Connections,  // the simulated line's active connections, by entry name
    };
    Kind What = Kind::ProgramValue;
    std::string Window;     // WindowProperty, ComponentProperty, Pixel
    std::string Component;  // ComponentProperty: "W.C"
    std::string Name;       // the property, the program-wide name or the file name
    int X = 0;
    int Y = 0;
};
Expression ParseExpression(std::string_view text, int lineNumber);

// A value as `print` and failure messages show it: control characters as \t \r \n (others as
// \xHH), so a line of output stays one line.
std::string Printable(std::string_view value);

// The text of `beeps`: the types in order, blank-separated.
std::string BeepsText(const std::vector<int>& beeps);

struct MessageRecord {
    std::string Caption;
    std::string Text;
    unsigned Flags = 0;
};
// The text of `messages`: each box as caption|text|flags, joined by " ;; ".
std::string MessagesText(const std::vector<MessageRecord>& boxes);

// "YYYY-MM-DD HH:MM:SS" as its parts; false for anything else or an impossible date or time.
struct WallTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
bool ParseWallTime(std::string_view date, std::string_view time, WallTime& out);

// A whole decimal number, optionally negative; false for anything else or out of range.
bool ParseInt(std::string_view text, int64_t& value);

}  // namespace tt::scenario
