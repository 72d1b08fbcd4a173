// Walking a JPEG stream's scans without decoding them: counting them and the
// blocks they visit, and keeping only the DC scans of a progressive file.
//
// At 1/8 scale libjpeg turns every 8 × 8 block into one pixel from its DC
// coefficient alone; the AC scans of a progressive file, most of its bytes,
// cannot change that pixel. KeepDcScansOnly keeps a progressive file's DC
// scans and drops the rest, so a 1/8 decode reads a fraction of the entropy
// data.
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

// The scans of the stream, counted up to `atMost` (it stops looking there).
// A scan costs libjpeg a pass over every coefficient of a progressive file,
// so a file with too many is refused by this count, before the first pass.
// A stream cut short counts the scans it has.
std::size_t CountJpegScans(std::span<const std::uint8_t> jpeg, std::size_t atMost);

// The scans and the blocks a progressive decode visits: each scan passes
// over every block of the components it names. `blocksOf` maps a component
// id (as the scan header gives it) to the blocks that component has. One
// walk counts both, until either passes its limit, and as far as a cut
// stream goes.
struct ComponentBlocks {
  std::uint8_t id = 0;
  std::uint64_t blocks = 0;
};
struct ScanWork {
  std::size_t scans = 0;
  std::uint64_t visits = 0;
};
ScanWork CountJpegScanWork(std::span<const std::uint8_t> jpeg, std::span<const ComponentBlocks> blocksOf,
                           std::size_t maxScans, std::uint64_t maxVisits);

}  // namespace trimbrel
