#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/format.h"
#include "base/ini_file.h"

namespace tt {

// The accessor of "taktomat.ini". Integers are read with the 0x rule, booleans are integers
// where anything but 0 is true; a value that does not parse gives the default.
class TSettings {
  public:
    // Every key of the table below is asked for at start: the file is read once for them all.
    explicit TSettings(std::filesystem::path file);

    const std::filesystem::path& Path() const { return ini_.Path(); }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Each write goes to the file at once; tt::Error when it cannot.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // How many times the file has been read whole.
    size_t Readings() const { return ini_.Readings(); }
    // The file is there but could not be read (no permission, held by another program): every
    // value read is its default.
    bool Unreadable() const { return ini_.Unreadable(); }
    // Values that were there but could not be understood (a price with the other decimal
    // separator, a time in another pattern), as "[SECTION] KEY=value", each once; their
    // defaults were taken instead.
    const std::vector<std::string>& Misread() const { return misread_; }
    void NoteMisread(std::string_view section, std::string_view key, std::string_view value) const;

  private:
    IniFile ini_;
    mutable std::vector<std::string> misread_;
};

// The rule of the digit counters through which the integer settings pass: below the range is
// raised to the minimum, above it lowered to the maximum, inside it unchanged.
int32_t ClampToCounterRange(int32_t value, int32_t min, int32_t max);

// The keys of the settings file with their defaults and, for those shown in a counter, ranges.
struct IntegerKey {
    const char* Section;
    const char* Key;
    int32_t Default;
    int32_t Min;
    int32_t Max;
};
struct BoolKey {
    const char* Section;
    const char* Key;
    bool Default;
};
struct TimeKey {
    const char* Section;
    const char* Key;
    int Hour;
    int Minute;
    int Second;
};
struct PriceKey {
    const char* Section;
    const char* Key;
    long double Default;
};
struct TextKey {
    const char* Section;
    const char* Key;
    const char* Default;
};

namespace keys {
inline constexpr IntegerKey IMPULS1{"OPCJE", "IMPULS1", 180, 30, 3600};
inline constexpr IntegerKey IMPULS2{"OPCJE", "IMPULS2", 360, 30, 3600};
// Zone 3 is what the other two leave: with the default starts the whole night and the start
// seconds themselves. Without a stored length it is billed as the evening zone, never at a
// shorter pulse; a stored 0 is still raised to the counter's 30.
inline constexpr IntegerKey IMPULS3{"OPCJE", "IMPULS3", 360, 30, 3600};
inline constexpr BoolKey PULPIT{"OPCJE", "PULPIT", true};
inline constexpr BoolKey SHADEDOWN{"OPCJE", "SHADEDOWN", true};
// Desktop notifications (a limit reached, a hang-up at a limit, a connection's end); 0 keeps
// the program to its own windows and beeps.
inline constexpr BoolKey POWIADOMIENIA{"OPCJE", "POWIADOMIENIA", true};
inline constexpr TimeKey S1_Start{"OPCJE", "S1_Start", 8, 0, 0};
inline constexpr TimeKey S2_Start{"OPCJE", "S2_Start", 22, 0, 0};
inline constexpr TimeKey S3_Start{"OPCJE", "S3_Start", 0, 0, 0};
inline constexpr PriceKey CENA1{"OPCJE", "CENA1", 0.29L};
inline constexpr PriceKey CENA2{"OPCJE", "CENA2", 0.29L};
inline constexpr PriceKey CENA3{"OPCJE", "CENA3", 0.29L};
inline constexpr IntegerKey MAXIMP_P{"MAX", "MAXIMP_P", 1440, 0, 1440};
inline constexpr IntegerKey MAXIMP_D{"MAX", "MAXIMP_D", 1440, 0, 1440};
inline constexpr IntegerKey MAXIMP_M{"MAX", "MAXIMP_M", 44640, 0, 44640};
inline constexpr IntegerKey OODL{"MAX", "OODL", 20, 0, 180};
inline constexpr IntegerKey REP{"CONNECT", "REP", 10, 1, 10};
inline constexpr IntegerKey PAUSE{"CONNECT", "PAUSE", 10, 1, 100};
// No counter shows the height, so any value is kept.
// The main window is either whole or rolled up; any other height would put it off screen.
inline constexpr IntegerKey H{"OKNO", "H", 80, 25, 80};
// The whole factor the windows are drawn at; 0 follows the desktop's scale.
inline constexpr IntegerKey SKALA{"OKNO", "SKALA", 0, 0, 3};
// How the on-line probe tells that the connection is up; read by metering/online_probe.
inline constexpr TextKey RULE{"ONLINE", "RULE", "dialup"};
inline constexpr TextKey INTERFACES{"ONLINE", "INTERFACES", "ppp*"};
}  // namespace keys

// A price the meter charges: a number, not negative and at most 1000 a pulse. Anything else
// (3e38, 1e400, -0,29) would put a cost into the log that no reader takes.
inline constexpr long double kMaxPulsePrice = 1000;
bool IsPulsePrice(long double price);
// The text as a price in the user's formats; false for one that does not parse or is no price.
bool TryStrToPrice(std::string_view text, const FormatSettings& fs, long double& out);

// The value as the program uses it: read, then brought into the key's range.
int32_t ReadClamped(const TSettings& settings, const IntegerKey& key);
bool Read(const TSettings& settings, const BoolKey& key);
std::string Read(const TSettings& settings, const TextKey& key);
// The default as the user's long time text, which is also what the file is offered.
std::string DefaultText(const TimeKey& key, const FormatSettings& fs);
std::string DefaultText(const PriceKey& key, const FormatSettings& fs);
// The stored text parsed in the user's formats; the default when it does not parse (or, for a
// price, is no price).
TDateTime Read(const TSettings& settings, const TimeKey& key, const FormatSettings& fs);
long double Read(const TSettings& settings, const PriceKey& key, const FormatSettings& fs);

// The four limits the meter works with.
struct TMeterLimits {
    int32_t MAXIMP_P = keys::MAXIMP_P.Default;
    int32_t MAXIMP_D = keys::MAXIMP_D.Default;
    int32_t MAXIMP_M = keys::MAXIMP_M.Default;
    int32_t OODL = keys::OODL.Default;
};
TMeterLimits ReadMeterLimits(const TSettings& settings);

}  // namespace tt
