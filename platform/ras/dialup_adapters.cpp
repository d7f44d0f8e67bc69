#include "platform/ras/dialup_adapters.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/ras/ras_api.h"
#endif

namespace tt {

#ifdef _WIN32
std::vector<std::string> ReadDialUpAdapterNames() {
    std::vector<std::string> names;
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) {
        return names;
    }
    HKEY adapters = nullptr;
    HKEY statistics = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\PerfStats\\Enum", 0,
                      KEY_READ, &adapters) == ERROR_SUCCESS) {
        if (RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StartStat", 0, KEY_READ, &statistics) !=
            ERROR_SUCCESS) {
            statistics = nullptr;
        }
    } else {
        adapters = nullptr;
    }
    if (adapters != nullptr && statistics != nullptr) {
        DWORD count = 0;
        if (RegQueryInfoKeyA(adapters, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            count = 0;
        }
        for (DWORD index = 0; index < count; ++index) {
            char name[33] = {};
            DWORD length = sizeof(name);
            if (RegEnumKeyExA(adapters, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                continue;
            }
            const std::string valueName = std::string(name, length) + "\\ConnectSpeed";
            // Only whether the adapter publishes a speed matters, not the speed.
            if (RegQueryValueExA(statistics, valueName.c_str(), nullptr, nullptr, nullptr,
                                 nullptr) == ERROR_SUCCESS) {
                names.push_back(RasTextToUtf8(std::string(name, length)));
            }
        }
    }
    if (statistics != nullptr) RegCloseKey(statistics);
    if (adapters != nullptr) RegCloseKey(adapters);
    return names;
}
#else
std::vector<std::string> ReadDialUpAdapterNames() {
    return {};
}
#endif

}  // namespace tt
