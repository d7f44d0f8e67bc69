#include "session/session.h"

#include <gtest/gtest.h>

namespace tt {
namespace {}  // namespace
}  // namespace tt
