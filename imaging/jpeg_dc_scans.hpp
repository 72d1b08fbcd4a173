// At 1/8 scale libjpeg turns every 8 × 8 block into one pixel from its DC
// coefficient alone; the AC scans of a progressive file, most of its bytes,
// cannot change that pixel. This keeps a progressive file's DC scans and drops
// the rest, so a 1/8 decode reads a fraction of the entropy data.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/platform.hpp"

namespace trimbrel {

// The same JPEG stream with the AC scans of a progressive file removed;
// every other segment is kept in order. Fails for a sequential file, and when
// the stream does not reach its end marker, so a cut-off file is not taken
// for a whole one; the caller then decodes the file as it is.
Result<std::vector<std::uint8_t>> KeepDcScansOnly(std::span<const std::uint8_t> jpeg);

}  // namespace trimbrel
