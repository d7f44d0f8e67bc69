// The settings file is the user's to edit: any bytes must read and write safely, and a value
// just written must be what the next read answers.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/format.h"
#include "base/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"IMPULS1", "S1_Start", "H", ""}) {
        tt::FindIniValue(text, "OPCJE", key);
        tt::FindIniValue(text, "okno", key);
    }
    const std::string written = tt::SetIniValue(text, "OPCJE", "impuls1", "  0x3C ");
    const auto back = tt::FindIniValue(written, "opcje", "IMPULS1");
    if (!back || *back != "0x3C") std::abort();
    // Writing one key leaves every other key of another section as it was.
    if (tt::FindIniValue(text, "MAX", "OODL") != tt::FindIniValue(written, "MAX", "OODL")) {
        std::abort();
    }
    return 0;
}
