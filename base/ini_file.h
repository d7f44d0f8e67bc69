#pragma once
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "base/files.h"

namespace tt {

// A settings file with the private-profile rules of Windows: "[SECTION]" lines and "KEY=value"
// lines, sections and keys compared without regard to (ASCII) case, the first of duplicates wins,
// values trimmed, a pair of enclosing quotes removed and cut to 1023 characters. Every read sees
// the file as it is, a missing file reads as all defaults and the first write creates it. On
// Windows the system's own functions do the work; elsewhere the functions below do the same.
//
// Elsewhere the values of the keys asked for are taken from the file in one reading and kept
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
    // Throws tt::Error "Unable to write to <full path>" when the file cannot be written. Writing
    // the value the file already holds leaves the file untouched.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // How many times the file has been read whole (for the tests of the reading once).
    size_t Readings() const { return readings_; }
    // The file is there but could not be read at the last reading (no permission, held by
    // another program): what was read are the defaults.
    bool Unreadable() const { return unreadable_; }

  private:
    void Refresh() const;
    void Take(std::string_view text) const;

    std::filesystem::path file_;
    mutable std::set<std::string> wanted_;
    mutable bool fresh_ = false;
    mutable FileStamp stamp_;
    mutable std::map<std::string, std::optional<std::string>> values_;
    mutable size_t readings_ = 0;
    mutable bool unreadable_ = false;
};

// How a settings file is stored: the system's text (UTF-8 on Linux, the ANSI code page on
// Windows) without a mark, or Unicode behind a byte-order mark. A write keeps the file's form.
enum class IniEncoding { Plain, Utf8Bom, Utf16Le, Utf16Be };
struct IniText {
    std::string Text;  // UTF-8
    IniEncoding Encoding = IniEncoding::Plain;
};
IniText DecodeIniFile(std::string_view bytes);
std::string EncodeIniFile(std::string_view text, IniEncoding encoding);

// The file-format halves, on text already in UTF-8.
// The values of the `wanted` keys (each "section" LF "key", trimmed, up to a NUL and in lower
// case) as FindIniValue finds them, in one pass over the text; a key whose line has no "=" is
// there without a value.
std::map<std::string, std::optional<std::string>> CollectIniValues(
    std::string_view text, const std::set<std::string>& wanted);
// The name under which CollectIniValues answers for a key.
std::string IniWantedName(std::string_view section, std::string_view key);
// The value as the file stores it (trimmed, ending at a NUL), or nothing when the key is missing
// or its line has no "=".
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);
// What a read answers: the stored value, or else the default without its trailing spaces; then
// a pair of enclosing quotes removed and at most 1023 characters.
std::string ReadIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view defaultValue);
// The same for a value already found (or not).
std::string ReadIniValue(const std::optional<std::string_view>& stored,
                         std::string_view defaultValue);
// The whole new text: the key's line replaced in place (keeping the file's spelling of the key),
// or the key added at the end of its section, or the section added at the end. Lines end in
// CR LF. Nothing when the file already holds exactly this value, so it stays untouched.
std::optional<std::string> SetIniValue(std::string_view text, std::string_view section,
                                       std::string_view key, std::string_view value);

// The same on the file's bytes (nothing for a missing file): what IniFile does where the system
// has no profile functions. The write answers the new bytes, or nothing to leave the file be.
std::string ReadIniBytes(const std::optional<std::string>& bytes, std::string_view section,
                         std::string_view key, std::string_view defaultValue);
std::optional<std::string> WriteIniBytes(const std::optional<std::string>& bytes,
                                         std::string_view section, std::string_view key,
                                         std::string_view value);

}  // namespace tt
