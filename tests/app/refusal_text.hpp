// A check's Result as the tables of cases write it: empty when it passed,
// else the reason it gives.
#pragma once

#include <string>

#include "platform/platform.hpp"

namespace trimbrel::testing {

inline std::string RefusalText(const Result<void>& check) { return check ? std::string() : check.error().reason; }

}  // namespace trimbrel::testing
