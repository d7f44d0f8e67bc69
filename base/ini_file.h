#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tt {

// A settings file with the private-profile rules: "[SECTION]" lines and "KEY=value" lines,
// sections and keys compared without regard to case, the first of duplicates wins, values
// trimmed and cut to 1023 characters. Every call goes to the file: nothing is cached, a
// missing file reads as all defaults and the first write creates it.
class IniFile {
  public:
    explicit IniFile(std::filesystem::path file) : file_(std::move(file)) {}

    const std::filesystem::path& Path() const { return file_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // Throws tt::Error "Unable to write to <full path>" when the file cannot be written.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

  private:
    std::filesystem::path file_;
};

// The file-format halves of the portable implementation, on text already in UTF-8.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);
// The whole new text: the key's line replaced in place, or the key added at the end of its
// section, or the section added at the end. Lines end in CR LF.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace tt
