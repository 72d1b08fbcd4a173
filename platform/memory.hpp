// How much memory the system can still give, for sizing work to it.
#pragma once

#include <cstdint>

namespace trimbrel {

// MemAvailable of the system, in bytes; 0 when it cannot be read.
std::uint64_t AvailableMemory();

}  // namespace trimbrel
