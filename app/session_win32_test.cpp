#include "app/session_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "app/program.h"
#include "app/single_copy.h"
#include "app/u_taktomat.h"
#include "platform/net/host_address.h"
#include "platform/win32/win32_backend.h"
#include "testing/dialup_fakes.h"
#include "testing/test_temp_folder.h"
#include "toolkit/application.h"

#include <windows.h>

namespace tt {
namespace {

using testing::ReadText;

// The session ends while a connection is metered: the record is written before the message
// returns, as Windows may end the process right after; a second copy's message shows the window.
TEST(WindowsSession, EndOfSessionWritesTheRecordAndASecondCopyShowsTheWindow) {
    const testing::TempFolder folder;
    win32::Win32Backend backend("Taktomat 2000");
    ScriptedHostAddressSource host;
    host.Set("10.1.2.3");
    std::vector<std::string> rasLog;
    testing::FakeRas ras{rasLog};
    TTaktomat program(TProgramServices{backend, host, ras, folder.Path(),
                                       MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ','),
                                       folder / "unsaved.txt"});
    HookWindowsSession(backend, program);
    program.Start();
    EXPECT_FALSE(program.MainWindow().Visible());
    // A second start shows only a window of this program whose process wrote the note: the
    // number of a window that is gone may be another program's, or a copy's of another process.
    TFolderLock lock(folder.Path());
    ASSERT_TRUE(lock.Held());
    HWND other =
        CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    const auto number = [](auto value) {
        return std::to_string(reinterpret_cast<uintptr_t>(value));
    };
    const std::string ours = number(backend.ApplicationWindow());
    const std::string process = std::to_string(GetCurrentProcessId());
    for (const std::string& note : {number(other) + " " + process, ours,
                                    ours + " " + std::to_string(GetCurrentProcessId() + 4)}) {
        lock.Publish(note);
        EXPECT_FALSE(AskRunningCopyToShow(folder.Path(), 0)) << note;
    }
    DestroyWindow(other);
    lock.Publish(ours + " " + process);
    EXPECT_TRUE(AskRunningCopyToShow(folder.Path(), 0));
    // Metered for a few real seconds, which also lets the posted message in.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
    while (std::chrono::steady_clock::now() < until) {
        program.App().ProcessMessages();
        program.App().WaitForMessages(50);
    }
    EXPECT_TRUE(program.MainWindow().Visible());
    ASSERT_NE(program.ValueOf("PulseCount"), "0");
    EXPECT_EQ(SendMessageA(backend.ApplicationWindow(), WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageA(backend.ApplicationWindow(), WM_ENDSESSION, TRUE, 0);
    const std::string log = ReadText(folder / "raport.txt");
    EXPECT_NE(log.find("\t1\t0,29\t\r\n"), std::string::npos) << log;
    UnhookWindowsSession(backend);
}

}  // namespace
}  // namespace tt
