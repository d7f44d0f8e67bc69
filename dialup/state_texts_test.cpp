#include "dialup/state_texts.h"

#include <gtest/gtest.h>

#include "testing/dialup_fakes.h"

namespace tt {
namespace {

constexpr TLanguage kLanguages[] = {TLanguage::Czech, TLanguage::English, TLanguage::Polish,
                                    TLanguage::Portuguese};

TEST(StateTexts, ConnectedIsTheTableTextOnlyWithoutAnError) {
    std::vector<std::string> log;
    testing::FakeRas ras(log);
    ras.errorTexts[691] = "Access denied.";
    EXPECT_EQ(ConnectionStateText(ras, TLanguage::Polish, RASCS_Connected, 0), "Podłączony");
    EXPECT_TRUE(log.empty());
    for (TLanguage language : kLanguages) {
        EXPECT_EQ(ConnectionStateText(ras, language, RASCS_Connected, 691), "Access denied.");
    }
    // A code the library cannot explain still gives the user something to read.
    EXPECT_EQ(ConnectionStateText(ras, TLanguage::Polish, RASCS_Connected, 12), "Error 12");
}

TEST(StateTexts, ErrorTextNeverReadsPastTheBuffer) {
    std::vector<std::string> log;
    testing::FakeRas ras(log);
    ras.errorTexts[700] = std::string(150, 'e');  // fills all 100 bytes, no terminator
    EXPECT_EQ(RasErrorText(ras, 700), std::string(100, 'e'));
}

TEST(StateTexts, TablesKeepTheirNearDuplicatesAndRepeats) {
    EXPECT_EQ(StateText(TLanguage::Polish, 3), "Urządzenie podłączone...");
    EXPECT_EQ(StateText(TLanguage::Polish, 4), "Urządzenie podłączone");
    EXPECT_EQ(StateText(TLanguage::Polish, 19), StateText(TLanguage::Polish, 5));
    EXPECT_EQ(StateText(TLanguage::Portuguese, 6), "Autenticaçao: enviando");
    EXPECT_EQ(StateText(TLanguage::Portuguese, 10), "Autenticaçao: enviando");
    EXPECT_EQ(StateText(TLanguage::Portuguese, 12), "Autenticaçao: enviando");
    EXPECT_NE(StateText(TLanguage::English, 19), StateText(TLanguage::English, 5));
}

TEST(StateTexts, EveryLanguageCoversTheSameStatesAndNoOthers) {
    const uint32_t listed[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,    9,    10,   11,   12,   13,
                               14, 15, 16, 17, 18, 19, 20, 21, 4096, 4097, 4098, 4099, 8192, 8193};
    for (TLanguage language : kLanguages) {
        for (uint32_t state : listed) {
            EXPECT_FALSE(StateText(language, state).empty()) << state;
        }
        for (uint32_t state : {22u, 23u, 4100u, 8194u, 0xFFFFFFFFu}) {
            EXPECT_TRUE(StateText(language, state).empty()) << state;
        }
    }
}

TEST(StateTexts, EachLanguageIsItsOwnColumn) {
    EXPECT_EQ(StateText(TLanguage::Czech, 0), "Otevírá se port");
    EXPECT_EQ(StateText(TLanguage::English, 0), "Opening port");
    EXPECT_EQ(StateText(TLanguage::Polish, 0), "Otwieranie portu");
    EXPECT_EQ(StateText(TLanguage::Portuguese, 0), "Abrindo a porta");
    EXPECT_EQ(StateText(TLanguage::Czech, 4098), "Zpeětné volání zvoleno uživatelem");
    EXPECT_EQ(StateText(TLanguage::English, 4097), "Retry Authentication");
    EXPECT_EQ(StateText(TLanguage::Polish, 4099), "Hasło nieprawidłowe");
    EXPECT_EQ(StateText(TLanguage::Portuguese, 8193), "Desconectado");
}

}  // namespace
}  // namespace tt
