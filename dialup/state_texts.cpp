#include "dialup/state_texts.h"

#include <array>
#include <cstring>

namespace tt {
namespace {

struct StateTextRow {
    uint32_t State;
    std::array<std::string_view, 4> Texts;  // by TLanguage
};

// Repeats within a language (Polish 5 and 19, Portuguese 6, 10 and 12) are meant.
constexpr StateTextRow kStateTexts[] = {
    {0, {"Otevírá se port", "Opening port", "Otwieranie portu", "Abrindo a porta"}},
    {1, {"Port otevřen", "Port opened", "Port otwarty", "Porta aberta"}},
    {2,
     {"Probíhá spojování", "Connecting device", "Podłączanie urządzenia", "Conectando componente"}},
    {3,
     {"Navázáno spojení", "Device connected", "Urządzenie podłączone...", "Componente conenctado"}},
    {4,
     {"Všechna zařízení spojena", "All devices connected", "Urządzenie podłączone",
      "Todos componentes conectados"}},
    {5,
     {"Začínají se ověřovat uživatelské informace", "Start authenticating",
      "Autoryzacja rozpoczęta", "Iniciando autenticaçao"}},
    {6,
     {"Ověření: oznámení", "Authentication: notify", "Autoryzacja: powiadomienie",
      "Autenticaçao: enviando"}},
    {7,
     {"Ověření: opakování", "Authentication: retry", "Autoryzacja: ponowienie",
      "Autenticaçao: Reenviando"}},
    {8,
     {"Ověření: zpětné volání", "Authentication: callback",
      "Autoryzacja: wymagany numer oddzwaniania", "Autenticaçao: Esperando"}},
    {9,
     {"Ověření: změna hesla", "Authentication: change password", "Autoryzacja: zmień hasło",
      "Autenticaçao: Senha incorreta"}},
    {10,
     {"Ověření: návrh", "Authentication: projecting", "Autoryzacja: rozpoczynanie konfigurowania",
      "Autenticaçao: enviando"}},
    {11,
     {"Ověření: spojovací rychlost", "Authentication: link speed",
      "Autoryzacja: szybkość połączenia", "Autenticaçao: Velocidade da linha"}},
    {12,
     {"Ověření: potvrzení", "Authentication: acknowledge", "Autoryzacja: zapytanie",
      "Autenticaçao: enviando"}},
    {13,
     {"Ověření: znovuověření", "Authentication: reauthenticate",
      "Autoryzacja: ponowienie autoryzacji", "Autenticaçao: Re-Autenticando"}},
    {14, {"Ověřeno", "Authenticated", "Autoryzacja przyjęta", "Autenticado"}},
    {15,
     {"Příprava na zpetné volání", "Preparing for callback", "Przygotowanie do oddzwonienia",
      "Preparando para callback"}},
    {16,
     {"Čeká se na reset modemu", "Waiting for modem reset", "Oczekiwanie na gotowość modemu",
      "Esperando Reset do modem"}},
    {17,
     {"Čeká se na zpětné volání", "Waiting for callback", "Oczekiwanie na oddzwonienie",
      "Esperando callback"}},
    {18, {"Navrhnuto", "Projected", "Konfiguracja zakończona", "Enviando"}},
    {19,
     {"Ověřování uživatelských informací", "Start authentication", "Autoryzacja rozpoczęta",
      "Autenticaçao iniciada"}},
    {20,
     {"Zpetné volání hotovo", "Callback complete", "Oddzwanianie zakończone", "Callback completo"}},
    {21, {"Připojuje se na síť", "Logging on network", "Logowanie do sieci", "Logando na rede"}},
    {4096, {"Interakce", "Interactive", "Interakcja", "Modo Interativo"}},
    {4097,
     {"Opakování oveření", "Retry Authentication", "Ponowienie autoryzacji", "Re-autenticar"}},
    {4098,
     {"Zpeětné volání zvoleno uživatelem", "Callback set by caller", "Oddzwanianie użytkownika",
      "Callback foi conf. pelo destino"}},
    {4099,
     {"Platnost hesla vypršela", "Password expired", "Hasło nieprawidłowe", "Senha inválida"}},
    {8192, {"Spojeno", "Connected", "Podłączony", "Conectado"}},
    {8193, {"Rozpojeno", "Disconnected", "Rozłączony", "Desconectado"}},
};

// The buffer size the library is asked to fill; its texts are shorter.
constexpr uint32_t kErrorTextSize = 100;

}  // namespace

std::string_view StateText(TLanguage language, uint32_t state) {
    const auto column = static_cast<size_t>(language);
    for (const StateTextRow& row : kStateTexts) {
        if (row.State == state) return column < row.Texts.size() ? row.Texts[column] : "";
    }
    return {};
}

std::string RasErrorText(RasApi& ras, uint32_t error) {
    char buffer[kErrorTextSize] = {};
    const uint32_t result = ras.RasGetErrorStringA(error, buffer, kErrorTextSize);
    // A library that fills the whole buffer leaves no terminator: read no further than it.
    const size_t length = strnlen(buffer, kErrorTextSize);
    if (result != 0 || length == 0) return "Error " + std::to_string(error);
    return RasTextToUtf8(std::string(buffer, length));
}

std::string ConnectionStateText(RasApi& ras, TLanguage language, uint32_t state, uint32_t error) {
    if (error != 0) return RasErrorText(ras, error);
    return std::string(StateText(language, state));
}

}  // namespace tt
