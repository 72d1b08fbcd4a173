#include "imaging/area_resampler.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace trimbrel {

namespace {

// Fixed-point budget, chosen so that every sum fits 32 bits without a check:
// horizontal weights sum to 2^14 (a sum of weighted bytes stays below 2^22),
// its result is kept with 8 fraction bits, vertical weights sum to 2^16, and
// 255 * 2^8 * 2^16 plus the rounding half still fits an unsigned 32-bit value.
constexpr int kHorizontalBits = 14;
constexpr int kVerticalBits = 16;
constexpr int kKeptFraction = 8;
constexpr int kSide = 65535;

// Position x (0..span, in units where a destination pixel is `span` long)
// quantised to `bits`. Weights are differences of consecutive quantised
// positions, so they telescope: any run of source pixels or rows inside one
// destination pixel weighs exactly what its pieces weigh together, and a whole
// destination pixel weighs exactly 1 << bits.
inline std::uint32_t quantise(std::int64_t x, std::int64_t span, int bits) {
  return static_cast<std::uint32_t>(((static_cast<std::uint64_t>(x) << bits) + static_cast<std::uint64_t>(span / 2)) /
                                    static_cast<std::uint64_t>(span));
}

}  // namespace

AreaResampler::AreaResampler(int srcWidth, int srcHeight, int dstWidth, int dstHeight, RowSink sink)
    : srcW_(srcWidth), srcH_(srcHeight), dstW_(dstWidth), dstH_(dstHeight), sink_(std::move(sink)) {
  if (srcW_ <= 0 || srcH_ <= 0 || dstW_ <= 0 || dstH_ <= 0) return;
  if (srcW_ > kSide || srcH_ > kSide || dstW_ > kSide || dstH_ > kSide) return;
  try {
    srcFirst_.resize(dstW_);
    srcCount_.resize(dstW_);
    weightStart_.resize(dstW_);
    weights_.reserve(static_cast<std::size_t>(srcW_) + 2 * static_cast<std::size_t>(dstW_));
    // Source pixel i spans [i*dstW, (i+1)*dstW), destination pixel j spans
    // [j*srcW, (j+1)*srcW): integer coordinates, exact coverage.
    const std::int64_t sw = srcW_, dw = dstW_;
    for (std::int64_t j = 0; j < dw; ++j) {
      const std::int64_t begin = j * sw, end = begin + sw;
      const std::int64_t first = begin / dw;
      const std::int64_t last = (end - 1) / dw;  // inclusive
      srcFirst_[j] = static_cast<std::int32_t>(first);
      srcCount_[j] = static_cast<std::int32_t>(last - first + 1);
      weightStart_[j] = static_cast<std::int32_t>(weights_.size());
      for (std::int64_t i = first; i <= last; ++i) {
        const std::int64_t lo = std::max(i * dw, begin) - begin;
        const std::int64_t hi = std::min((i + 1) * dw, end) - begin;
        weights_.push_back(static_cast<std::uint16_t>(quantise(hi, sw, kHorizontalBits) -
                                                      quantise(lo, sw, kHorizontalBits)));
      }
    }
    hrow_.assign(static_cast<std::size_t>(dstW_) * 3, 0);
    acc_.assign(static_cast<std::size_t>(dstW_) * 3, 0);
    out_.assign(static_cast<std::size_t>(dstW_) * 3, 0);
  } catch (const std::bad_alloc&) {
    return;
  }
  ok_ = true;
}

void AreaResampler::horizontalPass(const std::uint8_t* bgr) {
  std::uint32_t* h = hrow_.data();
  if (srcW_ == dstW_) {
    // Scale 1: plain widening, so a 1:1 stretch copies pixels unchanged.
    for (int k = 0; k < dstW_ * 3; ++k) h[k] = static_cast<std::uint32_t>(bgr[k]) << kKeptFraction;
    return;
  }
  constexpr std::uint32_t kHalf = 1u << (kHorizontalBits - kKeptFraction - 1);
  for (int j = 0; j < dstW_; ++j) {
    const std::uint16_t* w = weights_.data() + weightStart_[j];
    const std::uint8_t* p = bgr + static_cast<std::size_t>(srcFirst_[j]) * 3;
    const int n = srcCount_[j];
    // Three independent integer sums over one contiguous span: the 3-channel
    // 8-bit case is the only one the program has, kept this simple so the
    // compiler can unroll and pipeline it.
    std::uint32_t s0 = 0, s1 = 0, s2 = 0;
    for (int k = 0; k < n; ++k) {
      const std::uint32_t wk = w[k];
      s0 += wk * p[3 * k];
      s1 += wk * p[3 * k + 1];
      s2 += wk * p[3 * k + 2];
    }
    h[3 * j] = (s0 + kHalf) >> (kHorizontalBits - kKeptFraction);
    h[3 * j + 1] = (s1 + kHalf) >> (kHorizontalBits - kKeptFraction);
    h[3 * j + 2] = (s2 + kHalf) >> (kHorizontalBits - kKeptFraction);
  }
}

void AreaResampler::emit() {
  constexpr std::uint32_t kHalf = 1u << (kKeptFraction + kVerticalBits - 1);
  const std::size_t n = acc_.size();
  std::uint32_t* a = acc_.data();
  std::uint8_t* o = out_.data();
  for (std::size_t k = 0; k < n; ++k) {
    o[k] = static_cast<std::uint8_t>((a[k] + kHalf) >> (kKeptFraction + kVerticalBits));
    a[k] = 0;
  }
  if (sink_) sink_(dstRow_, o);
  ++dstRow_;
}

void AreaResampler::accumulate(int count) {
  // Source row r spans [r*dstH, (r+1)*dstH), destination row j spans
  // [j*srcH, (j+1)*srcH).
  const std::int64_t sh = srcH_, dh = dstH_;
  const std::int64_t start = static_cast<std::int64_t>(srcRow_) * dh;
  const std::int64_t end = static_cast<std::int64_t>(srcRow_ + count) * dh;
  srcRow_ += count;
  const std::size_t n = acc_.size();
  while (dstRow_ < dstH_) {
    const std::int64_t begin = static_cast<std::int64_t>(dstRow_) * sh;
    if (begin >= end) break;
    const std::int64_t lo = std::max(start, begin) - begin;
    const std::int64_t hi = std::min(end, begin + sh) - begin;
    const std::uint32_t w = quantise(hi, sh, kVerticalBits) - quantise(lo, sh, kVerticalBits);
    std::uint32_t* a = acc_.data();
    const std::uint32_t* h = hrow_.data();
    for (std::size_t k = 0; k < n; ++k) a[k] += w * h[k];
    if (begin + sh > end) break;  // the destination row goes on in the next source row
    emit();
  }
}

void AreaResampler::pushRow(const std::uint8_t* bgr) {
  if (!ok_ || srcRow_ >= srcH_ || bgr == nullptr) return;
  horizontalPass(bgr);
  accumulate(1);
}

void AreaResampler::pushUniformRows(int count, std::uint32_t colour) {
  if (!ok_ || count <= 0 || srcRow_ >= srcH_) return;
  count = std::min(count, srcH_ - srcRow_);
  // A row of one colour comes out of the horizontal pass as that colour
  // exactly (the weights sum to one), and the vertical weights of a run of
  // rows telescope, so one accumulation stands for the whole run bit for bit.
  const std::uint32_t b = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, r = colour & 0xFF;
  std::uint32_t* h = hrow_.data();
  for (int j = 0; j < dstW_; ++j) {
    h[3 * j] = b << kKeptFraction;
    h[3 * j + 1] = g << kKeptFraction;
    h[3 * j + 2] = r << kKeptFraction;
  }
  accumulate(count);
}

}  // namespace trimbrel
