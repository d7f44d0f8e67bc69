#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ras/ras_api.h"

namespace tt {

enum class TLanguage { Czech = 0, English = 1, Polish = 2, Portuguese = 3 };

// The text of a connection state in a language; empty for a state the tables do not list.
std::string_view StateText(TLanguage language, uint32_t state);

// The library's own text for an error code, or "Error <code>" when the library has none.
std::string RasErrorText(RasApi& ras, uint32_t error);

// What the user reads for a state report: the library's text of the error when there is one
// (then the state and the language do not matter), otherwise the state's text.
std::string ConnectionStateText(RasApi& ras, TLanguage language, uint32_t state, uint32_t error);

}  // namespace tt
