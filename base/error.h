#pragma once
#include <stdexcept>
#include <string>

namespace tt {

// The program's general exception. Its text is what the user reads in the message box
// that the application's top-level handler shows, so it must be exact.
class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace tt
