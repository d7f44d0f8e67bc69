#pragma once
#include <cstdint>

namespace tt {

// Remote-access error codes that the program's own layers produce, numbered as the Windows
// library numbers them, so that callers and logs read the same on every platform.
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorPortAlreadyOpen = 602;
constexpr uint32_t kErrorDeviceDoesNotExist = 608;
constexpr uint32_t kErrorCannotOpenPhonebook = 621;
constexpr uint32_t kErrorCorruptPhonebook = 625;
constexpr uint32_t kErrorDisconnection = 628;
constexpr uint32_t kErrorRemoteDisconnection = 629;
constexpr uint32_t kErrorUserDisconnection = 631;
constexpr uint32_t kErrorPortNotAvailable = 633;
constexpr uint32_t kErrorFromDevice = 651;
constexpr uint32_t kErrorLineBusy = 676;
constexpr uint32_t kErrorNoAnswer = 678;
constexpr uint32_t kErrorNoCarrier = 679;
constexpr uint32_t kErrorNoDialTone = 680;
constexpr uint32_t kErrorAuthenticationFailure = 691;
constexpr uint32_t kErrorServiceMissing = 711;
constexpr uint32_t kErrorPppNegotiation = 718;

// Errors that the next attempt would meet again: a retry costs a call and mends nothing.
bool IsLastingDialError(uint32_t code);

// The Polish text of a code, UTF-8, short enough for the 100-byte buffer the program passes;
// nullptr for a code the program's layers never produce.
const char* RasErrorTextPolish(uint32_t code);

// Writes the text of `code` into `buffer` as RasGetErrorStringA does: NUL-terminated, at most
// `bufferSize` bytes, never cutting a UTF-8 letter in half. 0, or kErrorInvalidParameter for
// an unknown code or no room.
uint32_t CopyRasErrorText(uint32_t code, char* buffer, uint32_t bufferSize);

}  // namespace tt
