#pragma once
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "base/files.h"

namespace tt {

// A settings file with the private-profile rules: "[SECTION]" lines and "KEY=value" lines,
// sections and keys compared without regard to case, the first of duplicates wins, values
// trimmed and cut to 1023 characters. Every read sees the file as it is, a missing file reads
// as all defaults and the first write creates it.
//
// On Linux the values of the keys asked for are taken from the file in one reading and kept
// while the file stays the same (the same file, size and time): a start that asks for twenty
// keys reads even a huge file once. A key first asked for later costs one more reading.
class IniFile {
  public:
    explicit IniFile(std::filesystem::path file) : file_(std::move(file)) {}

    const std::filesystem::path& Path() const { return file_; }

    // Keys that will be read, so that one reading of the file finds them all.
    void Want(std::string_view section, std::string_view key);

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // Throws tt::Error "Unable to write to <full path>" when the file cannot be written.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // How many times the file has been read whole (for the tests of the reading once).
    size_t Readings() const { return readings_; }

  private:
    void Refresh() const;
    void Take(std::string_view text) const;

    std::filesystem::path file_;
    mutable std::set<std::string> wanted_;
    mutable bool fresh_ = false;
    mutable FileStamp stamp_;
    mutable std::map<std::string, std::string> values_;
    mutable size_t readings_ = 0;
};

// The values of the `wanted` keys (each "section" LF "key", in lower case) as FindIniValue
// finds them, in one pass over the text.
std::map<std::string, std::string> CollectIniValues(std::string_view text,
                                                    const std::set<std::string>& wanted);

// The file-format halves of the portable implementation, on text already in UTF-8.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);
// The whole new text: the key's line replaced in place, or the key added at the end of its
// section, or the section added at the end. Lines end in CR LF.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace tt
