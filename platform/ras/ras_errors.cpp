#include "platform/ras/ras_errors.h"

#include <cstring>

#include "platform/ras/ras_api.h"

namespace tt {

namespace {

struct ErrorText {
    uint32_t Code;
    const char* Text;
};

// What the user reads in the connect window after a failed attempt.
constexpr ErrorText kTexts[] = {
    {kErrorAccessDenied,
     "Brak uprawnień do uruchomienia pppd: potrzebny root lub członkostwo w grupie dip."},
    {kErrorInvalidHandle, "Połączenie nie istnieje."},
    {kErrorInvalidParameter, "Nieprawidłowy parametr."},
    {kErrorPortAlreadyOpen, "Port jest już używany przez inny program."},
    {kErrorBufferTooSmall, "Bufor jest za mały."},
    {kErrorDeviceDoesNotExist, "Jądro systemu nie obsługuje PPP."},
    {kErrorCannotOpenPhonebook, "Nie można odczytać pliku wpisu: brak uprawnień."},
    {kErrorCannotFindPhonebookEntry, "Nie znaleziono wpisu w książce telefonicznej."},
    {kErrorCorruptPhonebook, "Błąd w opcjach pppd wpisu książki telefonicznej."},
    {kErrorDisconnection, "Połączenie zostało zamknięte: pppd zakończył pracę."},
    {kErrorRemoteDisconnection, "Połączenie zostało przerwane przez modem lub drugą stronę."},
    {kErrorUserDisconnection, "Połączenie zostało przerwane sygnałem zakończenia."},
    {kErrorInvalidSize, "Nieprawidłowy rozmiar struktury."},
    {kErrorPortNotAvailable, "Port modemu jest niedostępny lub nie istnieje."},
    {kErrorFromDevice, "Modem lub skrypt połączenia zgłosił błąd."},
    {kErrorLineBusy, "Linia jest zajęta."},
    {kErrorNoAnswer, "Brak odpowiedzi."},
    {kErrorNoCarrier, "Brak nośnej."},
    {kErrorNoDialTone, "Brak sygnału wybierania."},
    {kErrorAuthenticationFailure, "Odmowa dostępu: nieprawidłowa nazwa użytkownika lub hasło."},
    {kErrorServiceMissing, "Nie znaleziono programu pppd: zainstaluj pakiet ppp."},
    {kErrorPppNegotiation, "Negocjacja PPP nie powiodła się."},
};

}  // namespace

bool IsLastingDialError(uint32_t code) {
    switch (code) {
        case kErrorAccessDenied:
        case kErrorDeviceDoesNotExist:
        case kErrorCannotOpenPhonebook:
        case kErrorCannotFindPhonebookEntry:
        case kErrorCorruptPhonebook:
#ifndef _WIN32
        // pppd's "could not open the device": it is not there. Windows gives the same number
        // for a port another program has open for now, and another attempt places no call.
        case kErrorPortNotAvailable:
#endif
        case kErrorAuthenticationFailure:
        case kErrorServiceMissing:
            return true;
        default:
            return false;
    }
}

const char* RasErrorTextPolish(uint32_t code) {
    for (const ErrorText& known : kTexts) {
        if (known.Code == code) return known.Text;
    }
    return nullptr;
}

uint32_t CopyRasErrorText(uint32_t code, char* buffer, uint32_t bufferSize) {
    const char* text = RasErrorTextPolish(code);
    if (buffer == nullptr || bufferSize == 0 || text == nullptr) return kErrorInvalidParameter;
    size_t length = std::strlen(text);
    if (length >= bufferSize) {
        length = bufferSize - 1;
        // Back up over continuation bytes so the cut falls between letters.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return 0;
}

}  // namespace tt
