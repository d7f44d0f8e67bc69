#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace tt {

// A pppd link that is running now, found from pppd's pid files and the processes they name.
struct PppdLink {
    pid_t Pid = 0;
    std::string Interface;  // pppN, when known
    std::string Name;       // the peer's name, when it can be known
};

// Every running pppd link: the pid files "ppp-NAME.pid" (a link name) and "pppN.pid" (a unit)
// in `runDir`, whose process in `procDir` is a live pppd. One entry a process.
std::vector<PppdLink> FindPppdLinks(const std::string& runDir, const std::string& procDir);

// Whether the process `pid` in `procDir` is a pppd that still runs (not a zombie waiting for
// its parent).
bool IsLivePppd(const std::string& procDir, pid_t pid);

}  // namespace tt
