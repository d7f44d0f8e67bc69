#include "app/session_win32.h"

#include "app/program.h"
#include "app/single_copy.h"
#include "platform/win32/win32_backend.h"

#include <windows.h>

namespace tt {

void HookWindowsSession(win32::Win32Backend& backend, TTaktomat& program) {
    const UINT show = RegisterWindowMessageA(kShowMessageName);
    backend.SetAppMessageHook(
        [&program, show](unsigned msg, uintptr_t wParam, intptr_t, intptr_t& result) {
            if (msg == show) {
                program.RequestShow();
                result = 0;
                return true;
            }
            if (msg == WM_QUERYENDSESSION) {
                result = TRUE;
                return true;
            }
            if (msg == WM_ENDSESSION) {
                if (wParam) program.EndSession();
                result = 0;
                return true;
            }
            return false;
        });
}

void UnhookWindowsSession(win32::Win32Backend& backend) {
    backend.SetAppMessageHook(nullptr);
}

}  // namespace tt
