// Reading one photo's bytes for the streaming decoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace trimbrel {

// Files larger than this are refused before anything is allocated: no photo
// within the pixel limits comes near it.
inline constexpr std::uint64_t kMaxPhotoFileBytes = std::uint64_t{1} << 31;

// The whole file. "cannot open: …" for anything that is not a readable
// regular file (a folder, an empty entry, a missing file), "too large: …"
// past kMaxPhotoFileBytes. Read, not mapped: a photo truncated by another
// program while the batch runs must fail that photo, not kill the process.
Result<std::vector<std::uint8_t>> ReadPhotoFile(const std::string& path);

}  // namespace trimbrel
