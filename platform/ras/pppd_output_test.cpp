#include "platform/ras/pppd_output.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/ras/ras_errors.h"

namespace tt {
namespace {

TEST(PppdDialProgressTest, OutputAndExitCodesMapToTheLibrarysErrors) {
    struct Case {
        std::vector<std::string> Lines;
        int Exit;
        int Signal;
        uint32_t Error;
    };
    const Case cases[] = {
        // Only the list of abort strings: that is no answer from the modem.
        {{"abort on (BUSY)", "abort on (NO CARRIER)", "Connect script failed"},
         8,
         0,
         kErrorFromDevice},
        {{"Failed (NO CARRIER)"}, 8, 0, kErrorNoCarrier},
        {{"Failed (NO DIALTONE)"}, 8, 0, kErrorNoDialTone},
        {{"Failed (NO DIAL TONE)"}, 8, 0, kErrorNoDialTone},  // the other modems' spelling
        {{"Failed (NO ANSWER)"}, 8, 0, kErrorNoAnswer},
        {{"NO CARRIER"}, 8, 0, kErrorNoCarrier},    // chat -V echoes the modem
        {{"NO CARRIER^M"}, 8, 0, kErrorNoCarrier},  // with the carriage return it received
        {{"Failed (VOICE)"}, 8, 0, kErrorFromDevice},
        {{"Connect: ppp0 <--> /dev/ttyS0", "CHAP authentication failed: Access denied",
          "CHAP authentication failed"},
         19,
         0,
         kErrorAuthenticationFailure},
        {{}, 19, 0, kErrorAuthenticationFailure},
        // The far end failing to prove itself is not our password being refused.
        {{"Connect: ppp0 <--> /dev/ttyS0", "peer authentication failed for ppp"},
         16,
         0,
         kErrorRemoteDisconnection},
        {{"Connect: ppp0 <--> /dev/ttyS0", "LCP terminated by peer (User request)"},
         16,
         0,
         kErrorRemoteDisconnection},
        {{"Modem hangup"}, 16, 0, kErrorRemoteDisconnection},
        {{"pppd: unrecognized option 'frobnicate'"}, 2, 0, kErrorCorruptPhonebook},
        {{"Device /dev/ttyS0 is locked by pid 42"}, 6, 0, kErrorPortAlreadyOpen},
        {{}, 7, 0, kErrorPortNotAvailable},
        {{}, 4, 0, kErrorDeviceDoesNotExist},
        {{}, 10, 0, kErrorPppNegotiation},
        {{"Terminating on signal 15"}, 5, 0, kErrorUserDisconnection},
        {{"Serial connection established."}, 0, 9, kErrorDisconnection},
        // Once the link was up, its end is no failed dial.
        {{"local  IP address 10.0.0.1", "Modem hangup"}, 16, 0, 0},
    };
    for (const Case& c : cases) {
        PppdDialProgress progress;
        progress.Start();
        for (const std::string& line : c.Lines) progress.Line(line);
        EXPECT_EQ(progress.Ended(c.Exit, c.Signal, false), c.Error)
            << "exit " << c.Exit << ", first line " << (c.Lines.empty() ? "" : c.Lines[0]);
        // What the program hung up itself is never reported as a failure.
        EXPECT_EQ(progress.Ended(c.Exit, c.Signal, true), 0u);
    }
    EXPECT_EQ(PppdDialProgress::StartFailed(ENOENT), kErrorServiceMissing);
    EXPECT_EQ(PppdDialProgress::StartFailed(EACCES), kErrorAccessDenied);
}

TEST(PppdDialProgressTest, StatesPppdSaysNothingAboutAreStillReportedInOrder) {
    PppdDialProgress progress;
    EXPECT_EQ(progress.Start(), std::vector<uint32_t>{0});
    // A direct line: no connect script, no authentication.
    EXPECT_EQ(progress.Line("Connect: ppp0 <--> /dev/ttyS1"),
              (std::vector<uint32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(progress.Line("local  IP address 192.168.7.2"),
              (std::vector<uint32_t>{14, RASCS_Connected}));
    EXPECT_EQ(progress.Address(), "192.168.7.2");
    EXPECT_EQ(progress.Interface(), "ppp0");
    EXPECT_TRUE(progress.Line("CHAP authentication succeeded").empty());
}

}  // namespace
}  // namespace tt
