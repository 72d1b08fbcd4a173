#include "imaging/area_resampler.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace trimbrel {

namespace {

constexpr int kSide = 65535;

// The two loops every source row goes through. Plain element-wise loops so
// the compiler vectorises them; built a second time for AVX2 and picked at
// load time, since they are most of the cost of shrinking a large photo.
#if defined(__x86_64__) && defined(__GNUC__)
#define TRIMBREL_ROW_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define TRIMBREL_ROW_LOOP
#endif

TRIMBREL_ROW_LOOP void AddRow(std::uint16_t* __restrict sum, const std::uint8_t* __restrict row, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) sum[k] = static_cast<std::uint16_t>(sum[k] + row[k]);
}

TRIMBREL_ROW_LOOP void AddWeightedRow(std::uint32_t* __restrict sum, const std::uint8_t* __restrict row,
                                      std::uint32_t weight, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) sum[k] += weight * row[k];
}

// A finished destination row's vertical sums: the cut rows plus the whole
// rows weighed by their height, with both accumulators cleared in the same
// pass for the next row. One loop for both widths of the whole-row sums,
// inlined into each clone below so every clone vectorises it for its target.
template <class Full>
[[gnu::always_inline]] inline void Collapse(std::uint32_t* __restrict out, std::uint32_t* __restrict partial,
                                            Full* __restrict full, std::uint32_t weight, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) {
    out[k] = partial[k] + weight * full[k];
    partial[k] = 0;
    full[k] = 0;
  }
}

TRIMBREL_ROW_LOOP void CollapseRow(std::uint32_t* __restrict out, std::uint32_t* __restrict partial,
                                   std::uint16_t* __restrict full, std::uint32_t weight, std::size_t n) {
  Collapse(out, partial, full, weight, n);
}

TRIMBREL_ROW_LOOP void CollapseWideRow(std::uint32_t* __restrict out, std::uint32_t* __restrict partial,
                                       std::uint32_t* __restrict full, std::uint32_t weight, std::size_t n) {
  Collapse(out, partial, full, weight, n);
}

// B, G and R summed over `pixels` pixels of three samples each, in 32 bits:
// the caller knows the sums fit. Four pixels are three vectors whose lanes
// hold the channels in turn (B G R B | G R B G | R B G R).
void SumPixels32(const std::uint32_t* p, int pixels, std::uint32_t& s0, std::uint32_t& s1, std::uint32_t& s2) {
  int k = 0;
  std::uint32_t t0 = 0, t1 = 0, t2 = 0;
#if defined(__GNUC__)
  using U32x4 = std::uint32_t __attribute__((vector_size(16)));
  if (pixels >= 4) {
    U32x4 a = {0, 0, 0, 0}, b = a, c = a;
    for (; k + 4 <= pixels; k += 4, p += 12) {
      U32x4 x, y, z;
      std::memcpy(&x, p, sizeof x);
      std::memcpy(&y, p + 4, sizeof y);
      std::memcpy(&z, p + 8, sizeof z);
      a += x;
      b += y;
      c += z;
    }
    t0 = a[0] + a[3] + b[2] + c[1];
    t1 = a[1] + b[0] + b[3] + c[2];
    t2 = a[2] + b[1] + c[0] + c[3];
  }
#endif
  for (; k < pixels; ++k, p += 3) {
    t0 += p[0];
    t1 += p[1];
    t2 += p[2];
  }
  s0 = t0;
  s1 = t1;
  s2 = t2;
}

}  // namespace

AreaResampler::AreaResampler(int srcWidth, int srcHeight, int dstWidth, int dstHeight, RowSink sink)
    : srcW_(srcWidth), srcH_(srcHeight), dstW_(dstWidth), dstH_(dstHeight), sink_(std::move(sink)) {
  if (srcW_ <= 0 || srcH_ <= 0 || dstW_ <= 0 || dstH_ <= 0) return;
  if (srcW_ > kSide || srcH_ > kSide || dstW_ > kSide || dstH_ > kSide) return;
  try {
    first_.resize(dstW_);
    count_.resize(dstW_);
    wFirst_.resize(dstW_);
    wLast_.resize(dstW_);
    // Source pixel i spans [i*dstW, (i+1)*dstW), destination pixel j spans
    // [j*srcW, (j+1)*srcW).
    const std::int64_t sw = srcW_, dw = dstW_;
    for (std::int64_t j = 0; j < dw; ++j) {
      const std::int64_t begin = j * sw, end = begin + sw;
      const std::int64_t first = begin / dw, last = (end - 1) / dw;
      first_[j] = static_cast<std::int32_t>(first);
      count_[j] = static_cast<std::int32_t>(last - first + 1);
      wFirst_[j] = static_cast<std::uint32_t>(std::min((first + 1) * dw, end) - begin);
      wLast_[j] = static_cast<std::uint32_t>(end - std::max(last * dw, begin));
    }
    full16_.assign(static_cast<std::size_t>(srcW_) * 3, 0);
    full_.assign(static_cast<std::size_t>(srcW_) * 3, 0);
    partial_.assign(static_cast<std::size_t>(srcW_) * 3, 0);
    sums_.assign(static_cast<std::size_t>(srcW_) * 3, 0);
    out_.assign(static_cast<std::size_t>(dstW_) * 3, 0);
  } catch (const std::bad_alloc&) {
    return;
  }
  // A finished vertical sum is at most 255 * srcH (the overlaps of a
  // destination row add up to srcH); the pixels wholly inside a destination
  // pixel sum in 32 bits when that many of them cannot pass 2^32.
  const std::int64_t widest = *std::max_element(count_.begin(), count_.end());
  narrowSums_ = (widest - 2) * 255 * static_cast<std::int64_t>(srcH_) < (std::int64_t{1} << 32);
  divisor_ = static_cast<std::uint64_t>(srcW_) * static_cast<std::uint64_t>(srcH_);
  inverse_ = 1.0 / static_cast<double>(divisor_);
  if (divisor_ >= 2 && divisor_ < (std::uint64_t{1} << 28)) magic_ = ~std::uint64_t{0} / divisor_ + 1;
  ok_ = true;
}

// Rounded sum / divisor, sparing a 64-bit division per channel. With
// M = floor(2^64 / d) + 1 (or 2^64 / d exactly), n * M / 2^64 lies in
// [n / d, n / d + n / 2^64], which has the floor of n / d whenever n * d < 2^64;
// n stays below 256 * d, so that holds for every d below 2^28 (a destination
// pixel of up to 268 million source pixels). Past that, the quotient from
// the reciprocal in doubles is off by at most one and corrected.
std::uint8_t AreaResampler::divide(std::uint64_t sum) const {
  const std::uint64_t n = sum + divisor_ / 2;
#if defined(__SIZEOF_INT128__)
  __extension__ using Wide = unsigned __int128;
  if (magic_ != 0) return static_cast<std::uint8_t>((static_cast<Wide>(n) * magic_) >> 64);
#endif
  std::uint64_t q = static_cast<std::uint64_t>(static_cast<double>(n) * inverse_);
  if (q * divisor_ > n) {
    --q;
  } else if ((q + 1) * divisor_ <= n) {
    ++q;
  }
  return static_cast<std::uint8_t>(q);
}

void AreaResampler::spill() {
  const std::size_t n = full16_.size();
  std::uint32_t* f = full_.data();
  const std::uint16_t* h = full16_.data();
  for (std::size_t k = 0; k < n; ++k) f[k] += h[k];
  std::memset(full16_.data(), 0, n * sizeof(std::uint16_t));
  full16Rows_ = 0;
  fullSpilled_ = true;
}

void AreaResampler::emit() {
  const std::size_t n = partial_.size();
  const std::uint32_t* v = partial_.data();
  if (anyFull_) {
    const std::uint32_t weight = static_cast<std::uint32_t>(dstH_);
    if (fullSpilled_) {
      spill();
      CollapseWideRow(sums_.data(), partial_.data(), full_.data(), weight, n);
    } else {
      CollapseRow(sums_.data(), partial_.data(), full16_.data(), weight, n);
    }
    full16Rows_ = 0;
    fullSpilled_ = false;
    v = sums_.data();
  }
  // Horizontal pass over the finished vertical sums.
  const std::uint64_t inner = static_cast<std::uint64_t>(dstW_);
  for (int j = 0; j < dstW_; ++j) {
    const std::uint32_t* p = v + static_cast<std::size_t>(first_[j]) * 3;
    const int count = count_[j];
    std::uint64_t s0 = static_cast<std::uint64_t>(wFirst_[j]) * p[0];
    std::uint64_t s1 = static_cast<std::uint64_t>(wFirst_[j]) * p[1];
    std::uint64_t s2 = static_cast<std::uint64_t>(wFirst_[j]) * p[2];
    if (count > 1) {
      std::uint64_t i0 = 0, i1 = 0, i2 = 0;
      if (narrowSums_) {
        std::uint32_t n0, n1, n2;
        SumPixels32(p + 3, count - 2, n0, n1, n2);
        i0 = n0;
        i1 = n1;
        i2 = n2;
      } else {
        for (int k = 1; k < count - 1; ++k) {
          i0 += p[3 * k];
          i1 += p[3 * k + 1];
          i2 += p[3 * k + 2];
        }
      }
      const std::uint32_t* q = p + static_cast<std::size_t>(count - 1) * 3;
      s0 += inner * i0 + static_cast<std::uint64_t>(wLast_[j]) * q[0];
      s1 += inner * i1 + static_cast<std::uint64_t>(wLast_[j]) * q[1];
      s2 += inner * i2 + static_cast<std::uint64_t>(wLast_[j]) * q[2];
    }
    out_[3 * j] = divide(s0);
    out_[3 * j + 1] = divide(s1);
    out_[3 * j + 2] = divide(s2);
  }
  if (!anyFull_) std::memset(partial_.data(), 0, n * sizeof(std::uint32_t));
  anyFull_ = false;
  if (sink_) sink_(dstRow_, out_.data());
  ++dstRow_;
}

void AreaResampler::accumulate(const std::uint8_t* bgr, int count) {
  // Source row r spans [r*dstH, (r+1)*dstH), destination row j spans
  // [j*srcH, (j+1)*srcH).
  const std::int64_t sh = srcH_, dh = dstH_;
  const std::int64_t start = static_cast<std::int64_t>(srcRow_) * dh;
  const std::int64_t end = static_cast<std::int64_t>(srcRow_ + count) * dh;
  srcRow_ += count;
  const std::size_t n = partial_.size();
  while (dstRow_ < dstH_) {
    const std::int64_t begin = static_cast<std::int64_t>(dstRow_) * sh;
    if (begin >= end) break;
    if (bgr == nullptr && begin >= start && begin + sh <= end) {
      // Wholly inside the run, so nothing else reached it: every pixel is
      // colour * area / area, the colour itself.
      for (int k = 0; k < dstW_; ++k) std::memcpy(out_.data() + 3 * k, uniform_, 3);
      if (sink_) sink_(dstRow_, out_.data());
      ++dstRow_;
      continue;
    }
    const auto overlap = static_cast<std::uint32_t>(std::min(end, begin + sh) - std::max(start, begin));
    std::uint32_t* p = partial_.data();
    if (bgr == nullptr) {
      const std::uint32_t c0 = overlap * uniform_[0], c1 = overlap * uniform_[1], c2 = overlap * uniform_[2];
      for (std::size_t k = 0; k < n; k += 3) {
        p[k] += c0;
        p[k + 1] += c1;
        p[k + 2] += c2;
      }
    } else if (overlap == static_cast<std::uint32_t>(dh)) {
      // The whole source row lies inside this destination row: a plain
      // widening sum, the loop nearly every shrinking row takes, kept this
      // simple so the compiler vectorises it.
      if (full16Rows_ == 257) spill();
      AddRow(full16_.data(), bgr, n);
      ++full16Rows_;
      anyFull_ = true;
    } else {
      AddWeightedRow(p, bgr, overlap, n);
    }
    if (begin + sh > end) break;  // the destination row goes on in the next source row
    emit();
  }
}

void AreaResampler::pushRow(const std::uint8_t* bgr) {
  if (!ok_ || srcRow_ >= srcH_ || bgr == nullptr) return;
  if (srcW_ == dstW_ && srcH_ == dstH_) {
    // Scale 1: the row itself.
    ++srcRow_;
    if (sink_) sink_(dstRow_, bgr);
    ++dstRow_;
    return;
  }
  accumulate(bgr, 1);
}

void AreaResampler::pushUniformRows(int count, std::uint32_t colour) {
  if (!ok_ || count <= 0 || srcRow_ >= srcH_) return;
  count = std::min(count, srcH_ - srcRow_);
  // Every sum is exact, so one accumulation with the run's total overlap
  // gives the same integers as the rows one by one.
  uniform_[0] = static_cast<std::uint8_t>(colour >> 16);
  uniform_[1] = static_cast<std::uint8_t>(colour >> 8);
  uniform_[2] = static_cast<std::uint8_t>(colour);
  if (srcW_ == dstW_ && srcH_ == dstH_) {
    for (int k = 0; k < dstW_; ++k) std::memcpy(out_.data() + 3 * k, uniform_, 3);
    for (int k = 0; k < count; ++k) {
      ++srcRow_;
      if (sink_) sink_(dstRow_, out_.data());
      ++dstRow_;
    }
    return;
  }
  accumulate(nullptr, count);
}

}  // namespace trimbrel
