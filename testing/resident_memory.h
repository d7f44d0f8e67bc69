#pragma once
#include <fstream>
#include <string>

namespace tt {

// The process's resident memory in bytes (Linux), 0 where it cannot be read; for the figures
// and the soak's check that memory stays flat.
inline long long ResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long long kb = 0;
            status >> kb;
            return kb * 1024;
        }
    }
    return 0;
}

}  // namespace tt
