// How many photos to trim at once: one per processor, unless the largest
// photos of the batch would then need more than half of the memory that is
// free; and, however many jobs run, the memory they share while they run,
// so that a big batch never runs the machine out of memory.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "app/geometry.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

// Bytes one photo's trim needs at its peak, estimated from the file's header
// alone (decoded size, canvas, target, decoder buffers); generous rather
// than tight.
std::uint64_t EstimateTrimMemory(const std::string& photo, const TargetSize& target, FitBasis basis, bool fast);

// The largest count up to `processors` such that the `count` largest
// estimates fit in half of `available` together; at least 1. An unknown
// `available` (0) leaves the processor count.
int ChooseJobCount(std::vector<std::uint64_t> estimates, int processors, std::uint64_t available);

int ProcessorCount();

int DefaultJobCount(const std::vector<std::string>& photos, const TargetSize& target, FitBasis basis, bool fast);

// The memory that trims running at once share, however many jobs were asked
// for: each trim holds its estimate while it runs, and one that does not fit
// beside those running waits until they are done. A trim alone always runs,
// however large, so a batch never stalls.
class MemoryBudget {
 public:
  explicit MemoryBudget(std::uint64_t bytes) : limit_(bytes) {}  // 0: no limit

 private:
  friend class MemoryHold;
  void reserve(std::uint64_t bytes);
  void release(std::uint64_t bytes);

  std::mutex mutex_;
  std::condition_variable freed_;
  const std::uint64_t limit_;
  std::uint64_t used_ = 0;
  int holders_ = 0;
};

// Holds `bytes` of a budget from construction (waiting for room) to the end
// of its scope; a null budget holds nothing.
class MemoryHold {
 public:
  MemoryHold(MemoryBudget* budget, std::uint64_t bytes);
  ~MemoryHold();
  MemoryHold(const MemoryHold&) = delete;
  MemoryHold& operator=(const MemoryHold&) = delete;

 private:
  MemoryBudget* budget_;
  std::uint64_t bytes_;
};

}  // namespace trimbrel
