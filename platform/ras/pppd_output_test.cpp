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
        std::string Reason;
    };
    // The reason is pppd's own first complaint, else its last word on a hang-up.
    const Case cases[] = {
        // Only the list of abort strings: that is no answer from the modem.
        {{"abort on (BUSY)", "abort on (NO CARRIER)", "Connect script failed"},
         8,
         0,
         kErrorFromDevice,
         "Connect script failed"},
        {{"Failed (NO CARRIER)", "Connect script failed"},
         8,
         0,
         kErrorNoCarrier,
         "Failed (NO CARRIER)"},
        {{"Failed (NO DIALTONE)"}, 8, 0, kErrorNoDialTone, "Failed (NO DIALTONE)"},
        // the other modems' spelling
        {{"Failed (NO DIAL TONE)"}, 8, 0, kErrorNoDialTone, "Failed (NO DIAL TONE)"},
        {{"Failed (NO ANSWER)"}, 8, 0, kErrorNoAnswer, "Failed (NO ANSWER)"},
        {{"NO CARRIER"}, 8, 0, kErrorNoCarrier, "NO CARRIER"},  // chat -V echoes the modem
        // with the carriage return it received
        {{"NO CARRIER^M"}, 8, 0, kErrorNoCarrier, "NO CARRIER"},
        {{"Failed (VOICE)"}, 8, 0, kErrorFromDevice, "Failed (VOICE)"},
        {{"Connect: ppp0 <--> /dev/ttyS0", "CHAP authentication failed: Access denied",
          "CHAP authentication failed", "Connection terminated.", "Modem hangup"},
         19,
         0,
         kErrorAuthenticationFailure,
         "CHAP authentication failed: Access denied"},
        {{}, 19, 0, kErrorAuthenticationFailure, ""},
        // The far end failing to prove itself is not our password being refused.
        {{"Connect: ppp0 <--> /dev/ttyS0", "peer authentication failed for ppp"},
         16,
         0,
         kErrorRemoteDisconnection,
         "peer authentication failed for ppp"},
        {{"Connect: ppp0 <--> /dev/ttyS0", "LCP terminated by peer (User request)",
          "Connection terminated."},
         16,
         0,
         kErrorRemoteDisconnection,
         "LCP terminated by peer (User request)"},
        {{"Modem hangup"}, 16, 0, kErrorRemoteDisconnection, "Modem hangup"},
        {{"pppd 2.4.9 started by ola, uid 1000",
          "/usr/sbin/pppd: In file /etc/ppp/peers/isp: unrecognized option 'frobnicate'"},
         2,
         0,
         kErrorCorruptPhonebook,
         "pppd: In file /etc/ppp/peers/isp: unrecognized option 'frobnicate'"},
        {{"Device /dev/ttyS0 is locked by pid 42"},
         6,
         0,
         kErrorPortAlreadyOpen,
         "Device /dev/ttyS0 is locked by pid 42"},
        {{"Failed to open /dev/ttyUSB0: No such file or directory", "Exit."},
         7,
         0,
         kErrorPortNotAvailable,
         "Failed to open /dev/ttyUSB0: No such file or directory"},
        {{}, 4, 0, kErrorDeviceDoesNotExist, ""},
        {{}, 10, 0, kErrorPppNegotiation, ""},
        {{"Terminating on signal 15"}, 5, 0, kErrorUserDisconnection, ""},
        {{"Serial connection established."}, 0, 9, kErrorDisconnection, ""},
        // Once the link was up, its end is no failed dial.
        {{"local  IP address 10.0.0.1", "Modem hangup"}, 16, 0, 0, ""},
    };
    for (const Case& c : cases) {
        PppdDialProgress progress;
        progress.Start();
        for (const std::string& line : c.Lines) progress.Line(line);
        EXPECT_EQ(progress.Ended(c.Exit, c.Signal, false), c.Error)
            << "exit " << c.Exit << ", first line " << (c.Lines.empty() ? "" : c.Lines[0]);
        EXPECT_EQ(progress.Reason(), c.Reason);
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
