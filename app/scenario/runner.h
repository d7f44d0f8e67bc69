#pragma once
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace tt::scenario {

// Outcome of a script: every expect held, one did not, or the script itself is at fault.
enum class Outcome { Passed = 0, Failed = 1, ScriptFault = 2 };

// Runs one script against the whole program on the headless backend, in `folder` when given
// (kept afterwards), else in a fresh temporary folder removed at the end. `name` is how
// messages name the script; `print` goes to `out`, failures and faults to `err`.
Outcome RunScript(const std::string& name, std::string_view text,
                  const std::optional<std::filesystem::path>& folder, std::ostream& out,
                  std::ostream& err);

}  // namespace tt::scenario
