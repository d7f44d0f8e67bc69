// What ordinary use is billed, through the whole program on the headless backend: each row is
// a short scenario (settings, log, locale, a connection) and the one value it must leave.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/scenario/runner.h"

namespace tt {
namespace {

struct BillCase {
    const char* what;
    const char* locale;  // the scenario's locale line, or empty for the default
    const char* now;
    const char* ini;  // nullptr: no settings file at all
    const char* log;  // nullptr: no log
    const char* use;  // what happens after the start
    const char* expr;
    const char* value;  // as the script writes it, with its escapes
};

// On-line from the first tick; the record is written on the first tick off-line.
constexpr const char* kTenMinutes = "tick\ntick 600\nhost 127.0.0.1\ntick\n";
constexpr const char* kThreeMinutes = "tick\ntick 200\nhost 127.0.0.1\ntick\n";
constexpr const char* kNoDelay = "[MAX]\\r\\nOODL=0\\r\\n";

const BillCase kCases[] = {
    // A fresh file charges the night at the evening's pulse: two pulses of 360 s, not 21 of 30.
    {"fresh file, 23:00", "", "2000-12-31 23:00:00", nullptr, nullptr, kTenMinutes,
     "file:raport.txt", "2000-12-31\\t00:10:20\\t2\\t0,58\\t\\r\\n"},
    {"a stored 0 is still 30 s", "", "2000-12-31 23:00:00", "[OPCJE]\\r\\nIMPULS3=0\\r\\n", nullptr,
     kTenMinutes, "file:raport.txt", "2000-12-31\\t00:10:20\\t21\\t6,09\\t\\r\\n"},
    // The month is this December, not every December of the log.
    {"two years of log", "", "2001-12-20 12:00:00", kNoDelay,
     "2000-12-05\\t00:10:00\\t100\\t29\\t\\r\\n2001-12-05\\t00:10:00\\t7\\t2,03\\t\\r\\n"
     "2001-12-20\\t00:10:00\\t3\\t0,87\\t\\r\\n",
     "", "MonthPulses", "10"},
    {"two years of log, the day", "", "2001-12-20 12:00:00", kNoDelay,
     "2000-12-20\\t00:10:00\\t100\\t29\\t\\r\\n2001-12-20\\t00:10:00\\t3\\t0,87\\t\\r\\n", "",
     "DayPulses", "3"},
    // Ten minutes under a 12-hour clock are ten minutes, not "12:10:00 AM".
    {"12-hour locale", "locale m/d/yy \"h:nn:ss AM/PM\" .", "2000-12-31 12:00:00", kNoDelay,
     nullptr, kTenMinutes, "file:raport.txt", "12/31/00\\t00:10:00\\t4\\t1.16\\t\\r\\n"},
    // An hour's stall into the day zone: the night's pulses up to 08:00, then 30 s.
    {"stall across 08:00", "", "2000-12-31 07:00:00",
     "[OPCJE]\\r\\nIMPULS1=30\\r\\nIMPULS3=360\\r\\n[MAX]\\r\\nOODL=0\\r\\n", nullptr,
     "tick\nstall 3610000\n", "PulseCount", "11"},
    // A price that is no price is charged at the default.
    {"price 3e38", "", "2000-12-31 12:00:00",
     "[OPCJE]\\r\\nCENA1=3e38\\r\\n[MAX]\\r\\nOODL=0\\r\\n", nullptr, kThreeMinutes,
     "file:raport.txt", "2000-12-31\\t00:03:20\\t2\\t0,58\\t\\r\\n"},
    {"price 1e400", "", "2000-12-31 12:00:00",
     "[OPCJE]\\r\\nCENA1=1e400\\r\\n[MAX]\\r\\nOODL=0\\r\\n", nullptr, kThreeMinutes,
     "file:raport.txt", "2000-12-31\\t00:03:20\\t2\\t0,58\\t\\r\\n"},
    {"price -0,29", "", "2000-12-31 12:00:00",
     "[OPCJE]\\r\\nCENA1=-0,29\\r\\n[MAX]\\r\\nOODL=0\\r\\n", nullptr, kThreeMinutes,
     "file:raport.txt", "2000-12-31\\t00:03:20\\t2\\t0,58\\t\\r\\n"},
};

TEST(ExactBill, OrdinaryUseIsBilledAsTheLineCharges) {
    for (const BillCase& c : kCases) {
        std::string script = std::string(c.locale) + "\nnow " + c.now + "\n";
        if (c.ini) script += std::string("file taktomat.ini \"") + c.ini + "\"\n";
        if (c.log) script += std::string("file raport.txt \"") + c.log + "\"\n";
        script += "host 10.0.0.5\nstart\n";
        script += c.use;
        script += std::string("expect ") + c.expr + " \"" + c.value + "\"\n";
        std::ostringstream out, err;
        EXPECT_EQ(scenario::RunScript(c.what, script, std::nullopt, out, err),
                  scenario::Outcome::Passed)
            << err.str();
    }
}

}  // namespace
}  // namespace tt
