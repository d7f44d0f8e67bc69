#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/ras/ras_api.h"

namespace tt {

// What every layer of the remote-access operations does with the library's records.

// Text into a fixed field: cut to fit, always terminated.
template <size_t N>
void CopyRasField(char (&field)[N], std::string_view text) {
    const size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

// The arguments of a listing: an array whose first record carries its size, and the two
// counts. 0 when they are usable.
template <class Record>
uint32_t CheckRasList(const Record* records, const uint32_t* bufferSize, const uint32_t* count) {
    if (records == nullptr || bufferSize == nullptr || count == nullptr) {
        return kErrorInvalidParameter;
    }
    return records[0].dwSize == sizeof(Record) ? 0 : kErrorInvalidSize;
}

// Stores the count and the size that `n` records need; 0 when they fit the buffer, else the
// library's "buffer too small", and then nothing is to be written.
template <class Record>
uint32_t FitRasList(size_t n, uint32_t* bufferSize, uint32_t* count) {
    const uint32_t needed = static_cast<uint32_t>(n * sizeof(Record));
    *count = static_cast<uint32_t>(n);
    const bool fits = *bufferSize >= needed;
    *bufferSize = needed;
    return fits ? 0 : kErrorBufferTooSmall;
}

// The arguments of a dial: parameters of the right size, somewhere for the handle, and a
// notifier only of type 0. 0 when they are usable.
inline uint32_t CheckRasDial(const RASDIALPARAMSA* params, uint32_t notifierType,
                             RasDialFunc notifier, const HRasConn* connection) {
    if (params == nullptr || connection == nullptr) return kErrorInvalidParameter;
    if (params->dwSize != sizeof(RASDIALPARAMSA)) return kErrorInvalidSize;
    if (notifier != nullptr && notifierType != 0) return kErrorInvalidParameter;
    return 0;
}

// The entry name of dial parameters, up to its NUL.
inline std::string RasEntryName(const RASDIALPARAMSA& params) {
    return std::string(params.szEntryName, strnlen(params.szEntryName, sizeof(params.szEntryName)));
}

}  // namespace tt
