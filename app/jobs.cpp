#include "app/jobs.hpp"

#include <sched.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <span>
#include <thread>

#include "app/trim_engine.hpp"
#include "imaging/imaging.hpp"

namespace trimbrel {

namespace {

struct HeaderFacts {
  PictureKind kind = PictureKind::None;
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint64_t fileBytes = 0;
  JpegInfo jpeg;
};

// Enough of the file's start for the sizes: JPEG frame headers sit behind
// the metadata segments, which rarely pass 128 KB. A header beyond that
// leaves the estimate to the file size, which is read for every photo of a
// batch and so must stay cheap.
HeaderFacts ReadHeaderFacts(const std::string& photo) {
  HeaderFacts facts;
  auto file = InputFile::open(photo);
  if (!file) return facts;
  facts.fileBytes = file.value().size();
  std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(128 * 1024, facts.fileBytes)));
  auto read = file.value().read(head.data(), head.size());
  const std::size_t got = read ? read.value() : 0;
  head.resize(got);
  const PictureHeader header = ReadPictureHeader(head);
  if (!header.size) return facts;
  facts.kind = header.kind;
  facts.width = header.size.value().width;
  facts.height = header.size.value().height;
  facts.jpeg = header.jpeg;
  return facts;
}

}  // namespace

std::uint64_t EstimateTrimMemory(const std::string& photo, const TargetSize& target, FitBasis basis, bool fast) {
  const std::uint64_t targetBytes = static_cast<std::uint64_t>(target.width) * target.height * 3;
  HeaderFacts facts = ReadHeaderFacts(photo);
  // The file is read whole; the target exists as the worker's buffer and in
  // the image object; encoders add about one more copy at most.
  std::uint64_t bytes = facts.fileBytes + 3 * targetBytes + (1u << 20);
  if (facts.width <= 0) return bytes + 16 * facts.fileBytes;  // unknown kind: a guess from the file size
  const std::uint64_t pixels = static_cast<std::uint64_t>(facts.width) * facts.height;
  Placement p = ComputePlacement(static_cast<std::int32_t>(facts.width), static_cast<std::int32_t>(facts.height),
                                 target, basis);
  const std::uint64_t canvasRow = static_cast<std::uint64_t>(std::max(1, p.canvasWidth)) * 3;
  if (facts.kind == PictureKind::Jpeg) {
    int denom = fast ? FastScaleDenom(p, target) : 1;
    // Refused from the header, before any decoding.
    if (!JpegRefusal(facts.jpeg, p, denom)) return bytes;
    // A progressive JPEG keeps every coefficient; a baseline one a few rows
    // of blocks.
    std::uint64_t decoder = facts.jpeg.progressive ? facts.jpeg.coefficientBytes
                                                   : static_cast<std::uint64_t>(facts.width) * 16 * 3 * 2;
    // Turning or flipping upside down buffers the whole decoded photo.
    if (facts.jpeg.orientation > 2) decoder += pixels * 3 / (static_cast<std::uint64_t>(denom) * denom);
    return bytes + decoder + 2 * canvasRow;
  }
  if (!CanvasRefusal(p)) return bytes;
  const std::uint64_t canvas = canvasRow * static_cast<std::uint64_t>(std::max(1, p.canvasHeight));
  return bytes + 4 * pixels + canvas;
}

int ChooseJobCount(std::vector<std::uint64_t> estimates, int processors, std::uint64_t available) {
  int jobs = std::max(1, processors);
  if (available == 0 || estimates.empty()) return jobs;
  std::sort(estimates.begin(), estimates.end(), std::greater<>());
  const std::uint64_t budget = available / 2;
  std::uint64_t sum = 0;
  int fit = 0;
  for (std::size_t i = 0; i < estimates.size() && fit < jobs; ++i) {
    if (estimates[i] > budget - std::min(sum, budget)) break;
    sum += estimates[i];
    ++fit;
  }
  // Fewer photos than processors all fitting: the photo count caps it later.
  if (fit == static_cast<int>(estimates.size())) return jobs;
  return std::clamp(fit, 1, jobs);
}

int ProcessorCount() {
  // The processors this process may run on (taskset and containers narrow it).
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

void MemoryBudget::reserve(std::uint64_t bytes) {
  std::unique_lock lock(mutex_);
  freed_.wait(lock, [&] { return limit_ == 0 || holders_ == 0 || used_ + bytes <= limit_; });
  used_ += bytes;
  ++holders_;
}

void MemoryBudget::release(std::uint64_t bytes) {
  {
    std::lock_guard lock(mutex_);
    used_ -= bytes;
    --holders_;
  }
  freed_.notify_all();
}

MemoryHold::MemoryHold(MemoryBudget* budget, std::uint64_t bytes) : budget_(budget), bytes_(bytes) {
  if (budget_ != nullptr) budget_->reserve(bytes_);
}

MemoryHold::~MemoryHold() {
  if (budget_ != nullptr) budget_->release(bytes_);
}

int DefaultJobCount(const std::vector<std::string>& photos, const TargetSize& target, FitBasis basis, bool fast) {
  int processors = ProcessorCount();
  if (processors <= 1 || photos.size() <= 1) return 1;
  std::vector<std::uint64_t> estimates;
  estimates.reserve(photos.size());
  for (const std::string& photo : photos) estimates.push_back(EstimateTrimMemory(photo, target, basis, fast));
  return ChooseJobCount(std::move(estimates), processors, AvailableMemory());
}

}  // namespace trimbrel
