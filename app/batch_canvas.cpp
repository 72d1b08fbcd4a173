#include "app/batch_canvas.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/platform.hpp"

namespace trimbrel {

namespace {

void PutColour(std::uint8_t* bgr, std::uint32_t colour) {
  bgr[0] = static_cast<std::uint8_t>(colour >> 16);
  bgr[1] = static_cast<std::uint8_t>(colour >> 8);
  bgr[2] = static_cast<std::uint8_t>(colour);
}

// The drawing road's canvas, row for row: band rows above, each shown photo
// row cut or padded at drawLeft, band rows below.
class ExactCanvas final : public CanvasStream {
 public:
  ExactCanvas(const Placement& placement, int photoWidth, int photoHeight, const TargetSize& target,
              std::uint32_t band, AreaResampler::RowSink sink)
      : placement_(placement), photoWidth_(photoWidth), photoHeight_(photoHeight), target_(target), band_(band),
        sink_(std::move(sink)) {}

  bool begin(int width, int height) override {
    if (width != photoWidth_ || height != photoHeight_) return false;
    const int cw = placement_.canvasWidth, ch = placement_.canvasHeight;
    const int left = placement_.drawLeft, top = placement_.drawTop;
    if (width <= 0 || height <= 0 || cw <= 0 || ch <= 0) return false;
    resampler_.emplace(cw, ch, target_.width, target_.height, sink_);
    if (!resampler_->ok()) return false;
    // Canvas columns [x0, x1) show the photo; photo rows [firstRow, endRow) are shown.
    x0_ = std::max(0, left);
    x1_ = static_cast<int>(std::min<long long>(cw, static_cast<long long>(left) + width));
    left_ = left;
    firstRow_ = std::max(0, -top);
    endRow_ = static_cast<int>(std::clamp<long long>(static_cast<long long>(ch) - top, 0, height));
    if (endRow_ < firstRow_) endRow_ = firstRow_;
    const int above = std::clamp(top, 0, ch);
    if (above > 0) resampler_->pushUniformRows(above, band_);
    pushed_ = above;
    padded_ = x1_ > x0_ && (x0_ > 0 || x1_ < cw);
    if (padded_) {
      row_.resize(static_cast<std::size_t>(cw) * 3);
      for (int x = 0; x < cw; ++x) PutColour(&row_[static_cast<std::size_t>(x) * 3], band_);
    }
    return true;
  }

  void row(int y, const std::uint8_t* bgr) override {
    if (y != nextRow_++) broken_ = true;
    if (broken_ || y < firstRow_ || y >= endRow_) return;
    if (x1_ <= x0_) {
      resampler_->pushUniformRows(1, band_);
    } else {
      const std::uint8_t* shown = bgr + static_cast<std::size_t>(x0_ - left_) * 3;
      if (padded_) {
        std::memcpy(&row_[static_cast<std::size_t>(x0_) * 3], shown, static_cast<std::size_t>(x1_ - x0_) * 3);
        resampler_->pushRow(row_.data());
      } else {
        resampler_->pushRow(shown);  // a cut row is a window into the decoder's row
      }
    }
    ++pushed_;
  }

  bool finish() override {
    if (!resampler_ || broken_ || nextRow_ < endRow_) return false;
    const int below = placement_.canvasHeight - pushed_;
    if (below > 0) resampler_->pushUniformRows(below, band_);
    return true;
  }

 private:
  Placement placement_;
  int photoWidth_, photoHeight_;
  TargetSize target_;
  std::uint32_t band_;
  AreaResampler::RowSink sink_;
  std::optional<AreaResampler> resampler_;
  std::vector<std::uint8_t> row_;
  int left_ = 0, x0_ = 0, x1_ = 0, firstRow_ = 0, endRow_ = 0;
  int pushed_ = 0, nextRow_ = 0;
  bool padded_ = false, broken_ = false;
};

// One axis of the reduced canvas: for each of its cells, the decoded pixel
// it shows (−1 for band only) and how much of the cell the photo covers
// (0..256).
struct AxisMap {
  std::vector<int> source;
  std::vector<int> cover;
};

// The canvas of `canvas` photo pixels becomes `cells` cells, so that it
// still maps onto the target exactly; the photo, drawn at `offset` with
// `length` pixels, covers [offset, offset + length) × cells / canvas of it.
AxisMap MapAxis(int cells, int canvas, int offset, int length, int decoded, int denom) {
  AxisMap map;
  map.source.assign(static_cast<std::size_t>(cells), -1);
  map.cover.assign(static_cast<std::size_t>(cells), 0);
  const double k = static_cast<double>(cells) / canvas;
  const double from = offset * k, to = (static_cast<double>(offset) + length) * k;
  for (int j = 0; j < cells; ++j) {
    const double lo = std::max<double>(j, from), hi = std::min<double>(j + 1, to);
    if (hi <= lo) continue;
    const int cover = static_cast<int>(std::lround((hi - lo) * 256));
    if (cover == 0) continue;
    const double photoPixel = (lo + hi) / 2 / k - offset;
    map.source[static_cast<std::size_t>(j)] =
        std::clamp(static_cast<int>(std::floor(photoPixel / denom)), 0, decoded - 1);
    map.cover[static_cast<std::size_t>(j)] = cover;
  }
  return map;
}

std::uint8_t Blend(int value, int band, int cover) {
  return static_cast<std::uint8_t>((value * cover + band * (256 - cover) + 128) >> 8);
}

class ReducedCanvas final : public CanvasStream {
 public:
  ReducedCanvas(const Placement& placement, int photoWidth, int photoHeight, int denom, const TargetSize& target,
                std::uint32_t band, AreaResampler::RowSink sink)
      : placement_(placement), photoWidth_(photoWidth), photoHeight_(photoHeight), denom_(denom), target_(target),
        band_(band), sink_(std::move(sink)) {
    PutColour(bandBgr_, band);
  }

  bool begin(int width, int height) override {
    const int d = denom_;
    if (width != (photoWidth_ + d - 1) / d || height != (photoHeight_ + d - 1) / d) return false;
    const Placement& p = placement_;
    if (p.canvasWidth <= 0 || p.canvasHeight <= 0) return false;
    const int cw = std::max(1, static_cast<int>(std::lround(static_cast<double>(p.canvasWidth) / d)));
    const int ch = std::max(1, static_cast<int>(std::lround(static_cast<double>(p.canvasHeight) / d)));
    columns_ = MapAxis(cw, p.canvasWidth, p.drawLeft, photoWidth_, width, d);
    rows_ = MapAxis(ch, p.canvasHeight, p.drawTop, photoHeight_, height, d);
    resampler_.emplace(cw, ch, target_.width, target_.height, sink_);
    if (!resampler_->ok()) return false;
    row_.resize(static_cast<std::size_t>(cw) * 3);
    pushBandRows();
    return true;
  }

  void row(int y, const std::uint8_t* bgr) override {
    if (y != nextRow_++) broken_ = true;
    if (broken_) return;
    const int cw = static_cast<int>(columns_.source.size());
    while (next_ < rows_.source.size() && rows_.source[next_] == y) {
      const int vertical = rows_.cover[next_];
      for (int x = 0; x < cw; ++x) {
        std::uint8_t* out = &row_[static_cast<std::size_t>(x) * 3];
        const int src = columns_.source[static_cast<std::size_t>(x)];
        const int cover = src < 0 ? 0 : columns_.cover[static_cast<std::size_t>(x)] * vertical / 256;
        const std::uint8_t* in = src < 0 ? bandBgr_ : bgr + static_cast<std::size_t>(src) * 3;
        for (int c = 0; c < 3; ++c) out[c] = Blend(in[c], bandBgr_[c], cover);
      }
      resampler_->pushRow(row_.data());
      ++next_;
    }
    pushBandRows();
  }

  bool finish() override {
    if (!resampler_ || broken_) return false;
    pushBandRows();
    return next_ == rows_.source.size();
  }

 private:
  void pushBandRows() {
    int count = 0;
    while (next_ < rows_.source.size() && rows_.source[next_] < 0) ++next_, ++count;
    if (count > 0) resampler_->pushUniformRows(count, band_);
  }

  Placement placement_;
  int photoWidth_, photoHeight_, denom_;
  TargetSize target_;
  std::uint32_t band_;
  std::uint8_t bandBgr_[3];
  AreaResampler::RowSink sink_;
  std::optional<AreaResampler> resampler_;
  AxisMap columns_, rows_;
  std::vector<std::uint8_t> row_;
  std::size_t next_ = 0;  // the next canvas row to push
  int nextRow_ = 0;
  bool broken_ = false;
};

}  // namespace

std::unique_ptr<CanvasStream> MakeCanvasStream(const Placement& placement, int photoWidth, int photoHeight,
                                               int scaleDenom, const TargetSize& target, std::uint32_t bandColour,
                                               AreaResampler::RowSink sink) {
  if (scaleDenom <= 1) return std::make_unique<ExactCanvas>(placement, photoWidth, photoHeight, target, bandColour, std::move(sink));
  return std::make_unique<ReducedCanvas>(placement, photoWidth, photoHeight, scaleDenom, target, bandColour,
                                         std::move(sink));
}

}  // namespace trimbrel
