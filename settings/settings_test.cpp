#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "testing/test_temp_folder.h"

#include "base/error.h"
#include "base/files.h"
#include "metering/tariff.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tt {
namespace {

using namespace std::string_literals;

namespace fs = std::filesystem;

const FormatSettings kPolish = MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ',');

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = folder_.Path();
        file_ = dir_ / "taktomat.ini";
    }
    void Write(const std::string& text) { ASSERT_TRUE(ReplaceFileAtomically(file_, text)); }
    testing::TempFolder folder_;
    fs::path dir_;
    fs::path file_;
};

TEST(Clamp, RaisesLowersOrKeeps) {
    EXPECT_EQ(ClampToCounterRange(0, 30, 3600), 30);
    EXPECT_EQ(ClampToCounterRange(5000, 30, 3600), 3600);
    EXPECT_EQ(ClampToCounterRange(45, 30, 3600), 45);  // not a step multiple, still kept
    EXPECT_EQ(ClampToCounterRange(30, 30, 3600), 30);
    EXPECT_EQ(ClampToCounterRange(3600, 30, 3600), 3600);
    EXPECT_EQ(ClampToCounterRange(INT32_MIN, 0, 180), 0);
}

TEST_F(SettingsTest, MissingFileGivesEveryDefault) {
    const TSettings settings(file_);
    TTariffTable table;
    table.PulseLength = {0, 1, 1, 1};
    ReadTariffTable(settings, kPolish, table);
    EXPECT_EQ(table.PulseLength, (std::array<int32_t, 4>{0, 180, 360, 360}));
    EXPECT_EQ(SecondOfDay(table.ZoneStart[1]), 8 * 3600);
    EXPECT_EQ(SecondOfDay(table.ZoneStart[2]), 22 * 3600);
    EXPECT_EQ(SecondOfDay(table.ZoneStart[3]), 0);
    EXPECT_EQ(table.PulsePrice[2], 0.29L);
    const TMeterLimits limits = ReadMeterLimits(settings);
    EXPECT_EQ(limits.MAXIMP_P, 1440);
    EXPECT_EQ(limits.MAXIMP_D, 1440);
    EXPECT_EQ(limits.MAXIMP_M, 44640);
    EXPECT_EQ(limits.OODL, 20);
    EXPECT_TRUE(Read(settings, keys::PULPIT));
    EXPECT_EQ(ReadClamped(settings, keys::REP), 10);
    EXPECT_EQ(ReadClamped(settings, keys::H), 80);
    EXPECT_EQ(ReadClamped(settings, keys::SKALA), 0);  // the desktop's scale
    EXPECT_EQ(DefaultText(keys::S1_Start, kPolish), "08:00:00");
    EXPECT_EQ(DefaultText(keys::CENA1, kPolish), "0,29");
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(SettingsTest, StoredValuesParsedClampedOrDefaulted) {
    Write(
        "[OPCJE]\r\nIMPULS1=0x3C\r\nIMPULS2=abc\r\nIMPULS3=45\r\nPULPIT=2\r\nSHADEDOWN=0\r\n"
        "S1_Start=07:30:15\r\nS2_Start=25:00:00\r\nCENA1=0.35\r\nCENA2=-1,5\r\nCENA3=0\r\n"
        "[MAX]\r\nMAXIMP_M=50000\r\nMAXIMP_P=-3\r\nOODL=0x\r\n[CONNECT]\r\nPAUSE=1000\r\n"
        "[OKNO]\r\nH=-7\r\nSKALA=8\r\n");
    const TSettings settings(file_);
    TTariffTable table;
    ReadTariffTable(settings, kPolish, table);
    EXPECT_EQ(table.PulseLength, (std::array<int32_t, 4>{0, 60, 360, 45}));
    EXPECT_EQ(SecondOfDay(table.ZoneStart[1]), 7 * 3600 + 30 * 60 + 15);
    EXPECT_EQ(SecondOfDay(table.ZoneStart[2]), 22 * 3600);  // unreadable: the default
    EXPECT_EQ(table.PulsePrice[1], 0.29L);                  // a point in a comma locale
    EXPECT_EQ(table.PulsePrice[2], 0.29L);                  // no price: the default
    EXPECT_EQ(table.PulsePrice[3], 0.0L);
    EXPECT_TRUE(Read(settings, keys::PULPIT));
    EXPECT_FALSE(Read(settings, keys::SHADEDOWN));
    const TMeterLimits limits = ReadMeterLimits(settings);
    EXPECT_EQ(limits.MAXIMP_M, 44640);
    EXPECT_EQ(limits.MAXIMP_P, 0);
    EXPECT_EQ(limits.OODL, 20);
    EXPECT_EQ(ReadClamped(settings, keys::PAUSE), 100);
    EXPECT_EQ(ReadClamped(settings, keys::H), 25);  // -7 would put the window off screen
    EXPECT_EQ(ReadClamped(settings, keys::SKALA), 3);
}

TEST_F(SettingsTest, APriceIsANumberFromNoughtToAThousand) {
    const struct {
        const char* stored;
        long double read;
    } cases[] = {{"0", 0},         {"1000", 1000},   {"0,5e1", 5},       {"3e38", 0.29L},
                 {"1e400", 0.29L}, {"-0,29", 0.29L}, {"1000,01", 0.29L}, {"nan", 0.29L}};
    for (const auto& c : cases) {
        Write(std::string("[OPCJE]\r\nCENA1=") + c.stored + "\r\n");
        EXPECT_EQ(Read(TSettings(file_), keys::CENA1, kPolish), c.read) << c.stored;
    }
}

#ifndef _WIN32
// A file that is there but cannot be read (a read error, no permission to read it) is left as
// it is: a write would otherwise replace every setting with the one key written.
TEST_F(SettingsTest, AFileThatCannotBeReadIsNeverReplacedByOneKey) {
    const std::string stored = "[OPCJE]\r\nIMPULS1=60\r\nCENA1=0,35\r\n[MAX]\r\nOODL=5\r\n";
    for (const bool permission : {false, true}) {
        Write(stored);
        if (permission) {
            fs::permissions(file_, fs::perms::owner_write);
            if (ReadWholeFile(file_)) continue;  // root reads it all the same
        } else {
            SetFileFaultHook([&](FileStep step, const fs::path& f) {
                return step == FileStep::Read && f == file_ ? EIO : 0;
            });
        }
        TSettings settings(file_);
        EXPECT_THROW(settings.WriteInteger("MAX", "OODL", 7), Error) << permission;
        SetFileFaultHook(nullptr);
        fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(ReadWholeFile(file_), stored) << permission;
    }
}
#else
// Another program that holds the file without sharing for a moment (an editor saving it) only
// delays the read; one that keeps holding it leaves the file marked unreadable, to be told. The
// folder's name has letters outside the ANSI code page, which the "A" functions would lose.
TEST_F(SettingsTest, AFileHeldByAnotherProgramIsWaitedForThenMarkedUnreadable) {
    const fs::path folder = dir_ / u8"Połączenia ąłź";
    fs::create_directory(folder);
    const fs::path file = folder / "taktomat.ini";
    ASSERT_TRUE(ReplaceFileAtomically(file, "[OPCJE]\r\nIMPULS1=60\r\n"));
    for (const DWORD heldMs : {500, 4000}) {
        HANDLE held = CreateFileW(file.wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        std::thread holder([&] {
            Sleep(heldMs);
            CloseHandle(held);
        });
        const TSettings settings(file);
        const bool kept = heldMs > 2000;
        EXPECT_EQ(settings.ReadString("OPCJE", "IMPULS1", "none"), kept ? "none" : "60") << heldMs;
        EXPECT_EQ(settings.Unreadable(), kept) << heldMs;
        holder.join();
    }
}
#endif

TEST_F(SettingsTest, QuotedValuesInAMarkedFileReadAsOnWindows) {
    Write("\xEF\xBB\xBF[OPCJE]\r\nIMPULS1=\"45\"\r\nIMPULS2='60'\r\nCENA1=\"0,35\"\r\n");
    TSettings settings(file_);
    TTariffTable table;
    ReadTariffTable(settings, kPolish, table);
    EXPECT_EQ(table.PulseLength, (std::array<int32_t, 4>{0, 45, 60, 360}));
    EXPECT_EQ(table.PulsePrice[1], 0.35L);
    settings.WriteInteger("OPCJE", "IMPULS1", 90);
    EXPECT_EQ(ReadWholeFile(file_),
              "\xEF\xBB\xBF[OPCJE]\r\nIMPULS1=90\r\nIMPULS2='60'\r\nCENA1=\"0,35\"\r\n");
}

TEST_F(SettingsTest, HostileFileNeverCrashesAndWritesRoundTrip) {
    std::string junk = "[MAX]\r\nOODL=" + std::string(100000, '9') + "\r\n";
    junk += "\0\xff\x01=\r\n[\r\n=\r\n[OPCJE]IMPULS1=50\r\n"s;
    junk += "[MAX]\r\nOODL=5\r\n";
    Write(junk);
    TSettings settings(file_);
    EXPECT_EQ(ReadMeterLimits(settings).OODL, 20);  // the first OODL, too long to be a number
    settings.WriteInteger("MAX", "OODL", 7);
    settings.WriteBool("OPCJE", "PULPIT", false);
    settings.WriteString("OPCJE", "CENA1", "0,31");
    EXPECT_EQ(ReadMeterLimits(settings).OODL, 7);
    EXPECT_FALSE(Read(settings, keys::PULPIT));
    EXPECT_EQ(Read(settings, keys::CENA1, kPolish), 0.31L);
}

}  // namespace
}  // namespace tt
