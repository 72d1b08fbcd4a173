// How many photos to trim at once: one per processor, unless the largest
// photos of the batch would then need more than half of the memory that is
// free, so that a big batch never runs the machine out of memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/geometry.hpp"

namespace trimbrel {

// Bytes one photo's trim needs at its peak, estimated from the file's header
// alone (decoded size, canvas, target, decoder buffers); generous rather
// than tight.
std::uint64_t EstimateTrimMemory(const std::string& photo, const TargetSize& target, int basis, bool fast);

// MemAvailable of the system; 0 when it cannot be read.
std::uint64_t AvailableMemory();

// The largest count up to `processors` such that the `count` largest
// estimates fit in half of `available` together; at least 1. An unknown
// `available` (0) leaves the processor count.
int ChooseJobCount(std::vector<std::uint64_t> estimates, int processors, std::uint64_t available);

int ProcessorCount();

int DefaultJobCount(const std::vector<std::string>& photos, const TargetSize& target, int basis, bool fast);

}  // namespace trimbrel
