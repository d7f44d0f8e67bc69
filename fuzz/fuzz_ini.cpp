// The settings file is the user's to edit: any bytes must read and write safely, and a value
// just written must be what the next read answers.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "base/format.h"
#include "base/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"IMPULS1", "S1_Start", "H", ""}) {
        if (tt::ReadIniBytes(bytes, "OPCJE", key, "'180'").size() > 4 * 1023) std::abort();
        tt::ReadIniBytes(bytes, "okno", key, "");
    }
    const std::string text = tt::DecodeIniFile(bytes).Text;
    const std::optional<std::string> written =
        tt::WriteIniBytes(bytes, "OPCJE", "impuls1", "  0x3C ");
    // Nothing written only when the file already holds the value.
    const std::string after = written ? tt::DecodeIniFile(*written).Text : text;
    const auto back = tt::FindIniValue(after, "opcje", "IMPULS1");
    // The one pass of the start finds what a look-up of each key finds.
    const std::set<std::string> wanted = {"opcje\nimpuls1", "opcje\ns1_start", "okno\nh",
                                          "max\noodl", "opcje\n"};
    const auto found = tt::CollectIniValues(text, wanted);
    for (const auto& [section, key] : {std::pair{"OPCJE", "IMPULS1"},
                                       {"opcje", "S1_Start"},
                                       {"OKNO", "H"},
                                       {"MAX", "OODL"},
                                       {"OPCJE", ""}}) {
        std::string name = std::string(section) + "\n" + key;
        for (char& c : name)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        const auto it = found.find(name);
        const std::optional<std::string> one =
            it == found.end() ? std::nullopt : std::optional<std::string>(it->second);
        if (one != tt::FindIniValue(text, section, key)) std::abort();
    }
    if (!back || *back != "0x3C") std::abort();
    if (written && tt::DecodeIniFile(*written).Encoding != tt::DecodeIniFile(bytes).Encoding) {
        std::abort();
    }
    // Writing one key leaves every other key of another section as it was.
    if (tt::FindIniValue(text, "MAX", "OODL") != tt::FindIniValue(after, "MAX", "OODL")) {
        std::abort();
    }
    // A second write of the same value finds nothing to do.
    if (tt::SetIniValue(after, "OPCJE", "IMPULS1", "0x3C")) std::abort();
    return 0;
}
