#pragma once

namespace tt {

class TTaktomat;
namespace win32 {
class Win32Backend;
}

// What reaches the program through its application window on Windows: the session's end runs
// the program's end at once (the process may be gone when the message returns), and a second
// copy's registered message brings the main window up as the tray click does.
void HookWindowsSession(win32::Win32Backend& backend, TTaktomat& program);
void UnhookWindowsSession(win32::Win32Backend& backend);

}  // namespace tt
