#pragma once
#include <string>
#include <vector>

namespace tt {

// The dial-up adapters that publish a connection speed, as the Windows 95/98 family lists them in
// its performance statistics; empty on every other system.
std::vector<std::string> ReadDialUpAdapterNames();

}  // namespace tt
