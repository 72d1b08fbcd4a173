#include "app/canvas_stream.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/platform.hpp"

namespace trimbrel {

namespace {

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
      for (int x = 0; x < cw; ++x) PutBgr(&row_[static_cast<std::size_t>(x) * 3], band_);
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

// One axis of the reduced canvas. Each cell averages, by area, the decoded
// pixels it lies over: `first` (−1 for band only) and the one after it with
// weight `next` (0..256); `cover` (0..256) is how much of the cell the photo
// covers, the rest being band. Taking the nearest decoded pixel instead would
// shift the picture by up to half a decoded pixel, which shows on detailed
// photos.
struct AxisMap {
  std::vector<int> first;
  std::vector<int> next;
  std::vector<int> cover;
};

// The canvas of `canvas` photo pixels becomes `cells` cells, so that it
// still maps onto the target exactly; the photo is drawn at `offset` with
// `length` pixels, decoded into `decoded` pixels of `denom` photo pixels each.
AxisMap MapAxis(int cells, int canvas, int offset, int length, int decoded, int denom) {
  AxisMap map;
  map.first.assign(static_cast<std::size_t>(cells), -1);
  map.next.assign(static_cast<std::size_t>(cells), 0);
  map.cover.assign(static_cast<std::size_t>(cells), 0);
  const double perCell = static_cast<double>(canvas) / cells;  // photo pixels per cell
  for (int j = 0; j < cells; ++j) {
    // The cell in photo pixels, cut to the photo.
    const double lo = std::max(0.0, j * perCell - offset);
    const double hi = std::min<double>(length, (j + 1) * perCell - offset);
    if (hi <= lo) continue;
    const int cover = static_cast<int>(std::lround((hi - lo) / perCell * 256));
    if (cover == 0) continue;
    const std::size_t at = static_cast<std::size_t>(j);
    const double a = lo / denom, b = hi / denom;  // in decoded pixels
    const int first = std::clamp(static_cast<int>(std::floor(a)), 0, decoded - 1);
    map.first[at] = first;
    map.cover[at] = cover;
    if (first + 1 < decoded && b > first + 1) {
      map.next[at] = std::clamp(static_cast<int>(std::lround((b - (first + 1)) / (b - a) * 256)), 0, 256);
    }
  }
  return map;
}

// `from` moved `weight` 256ths of the way to `to`, rounded: how edge cells
// take in band colour by coverage and how a cell between two decoded pixels
// averages them. Plain integer arithmetic, so that the loops over whole rows
// vectorise.
inline std::uint8_t Mix(int from, int to, int weight) {
  return static_cast<std::uint8_t>((from * (256 - weight) + to * weight + 128) >> 8);
}

class ReducedCanvas final : public CanvasStream {
 public:
  ReducedCanvas(const Placement& placement, int photoWidth, int photoHeight, int denom, const TargetSize& target,
                std::uint32_t band, AreaResampler::RowSink sink)
      : placement_(placement), photoWidth_(photoWidth), photoHeight_(photoHeight), denom_(denom), target_(target),
        band_(band), sink_(std::move(sink)) {
    PutBgr(bandBgr_, band);
  }

  bool begin(int width, int height) override {
    const int d = denom_;
    if (width != (photoWidth_ + d - 1) / d || height != (photoHeight_ + d - 1) / d) return false;
    const Placement& p = placement_;
    if (p.canvasWidth <= 0 || p.canvasHeight <= 0) return false;
    const int cw = std::max(1, static_cast<int>(std::lround(static_cast<double>(p.canvasWidth) / d)));
    const int ch = std::max(1, static_cast<int>(std::lround(static_cast<double>(p.canvasHeight) / d)));
    columns_ = MapAxis(cw, p.canvasWidth, p.drawLeft, photoWidth_, width, d);
    classifyColumns(width);
    rows_ = MapAxis(ch, p.canvasHeight, p.drawTop, photoHeight_, height, d);
    resampler_.emplace(cw, ch, target_.width, target_.height, sink_);
    if (!resampler_->ok()) return false;
    const std::size_t bytes = static_cast<std::size_t>(cw) * 3;
    previous_.resize(bytes);
    current_.resize(bytes);
    row_.resize(bytes);
    bandRow_.resize(bytes);
    for (std::size_t x = 0; x < bytes; x += 3) std::memcpy(&bandRow_[x], bandBgr_, 3);
    pushBandRows();
    return true;
  }

  void row(int y, const std::uint8_t* bgr) override {
    if (y != nextRow_++) broken_ = true;
    if (broken_) return;
    const std::size_t cells = rows_.first.size();
    // Rows above the canvas (cut away) are never mapped onto the cells.
    if (next_ < cells && rows_.first[next_] >= 0 && rows_.first[next_] <= y) {
      // Each decoded row is mapped onto the cells once; a cell row that
      // lies over two decoded rows blends the previous mapping with this one.
      std::swap(previous_, current_);
      interpolate(bgr, current_.data());
      while (next_ < cells && rows_.first[next_] >= 0 &&
             rows_.first[next_] + (rows_.next[next_] > 0 ? 1 : 0) == y) {
        const int lowerWeight = rows_.next[next_];
        const std::uint8_t* shown = current_.data();
        const std::size_t bytes = row_.size();
        if (lowerWeight > 0) {
          const std::uint8_t* upper = previous_.data();
          const std::uint8_t* lower = current_.data();
          std::uint8_t* out = row_.data();
          for (std::size_t i = 0; i < bytes; ++i) out[i] = Mix(upper[i], lower[i], lowerWeight);
          shown = out;
        }
        const int vertical = rows_.cover[next_];
        if (vertical < 256) {
          std::uint8_t* out = row_.data();
          const std::uint8_t* band = bandRow_.data();
          for (std::size_t i = 0; i < bytes; ++i) out[i] = Mix(band[i], shown[i], vertical);
          shown = out;
        }
        resampler_->pushRow(shown);
        ++next_;
      }
    }
    pushBandRows();
  }

  bool finish() override {
    if (!resampler_ || broken_) return false;
    pushBandRows();
    return next_ == rows_.first.size();
  }

 private:
  // Most photos fill the canvas across, at a width the scale divides: every
  // cell then lies over decoded pixel x + shift, alone or with the next one
  // at one weight for all, and a row maps with a copy or one plain loop.
  void classifyColumns(int decoded) {
    const std::size_t cells = columns_.first.size();
    shift_ = columns_.first[0];
    uniformWeight_ = columns_.next[0];
    uniform_ = true;
    for (std::size_t x = 0; x < cells && uniform_; ++x) {
      uniform_ = columns_.cover[x] == 256 && columns_.first[x] == shift_ + static_cast<int>(x) &&
                 columns_.next[x] == uniformWeight_;
    }
    // The next pixel must exist for the last cell too.
    if (uniform_ && uniformWeight_ > 0) uniform_ = shift_ + static_cast<int>(cells) < decoded;
  }

  // One decoded row onto the cells of a canvas row, band at the sides.
  void interpolate(const std::uint8_t* decoded, std::uint8_t* out) const {
    const std::size_t cells = columns_.first.size();
    if (uniform_) {
      const std::uint8_t* a = decoded + static_cast<std::size_t>(shift_) * 3;
      if (uniformWeight_ == 0) {
        std::memcpy(out, a, cells * 3);
      } else {
        const int w = uniformWeight_;
        for (std::size_t i = 0; i < cells * 3; ++i) out[i] = Mix(a[i], a[i + 3], w);
      }
      return;
    }
    for (std::size_t x = 0; x < cells; ++x) {
      std::uint8_t* px = out + x * 3;
      const int first = columns_.first[x];
      if (first < 0) {
        std::memcpy(px, bandBgr_, 3);
        continue;
      }
      const int w = columns_.next[x];
      const int cover = columns_.cover[x];
      const std::uint8_t* a = decoded + static_cast<std::size_t>(first) * 3;
      const std::uint8_t* b = w > 0 ? a + 3 : a;
      for (int c = 0; c < 3; ++c) {
        const std::uint8_t value = Mix(a[c], b[c], w);
        px[c] = cover == 256 ? value : Mix(bandBgr_[c], value, cover);
      }
    }
  }

  void pushBandRows() {
    int count = 0;
    while (next_ < rows_.first.size() && rows_.first[next_] < 0) ++next_, ++count;
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
  // The cells of the two latest decoded rows, a blended row, and a row of band colour.
  std::vector<std::uint8_t> previous_, current_, row_, bandRow_;
  std::size_t next_ = 0;  // the next canvas row to push
  int nextRow_ = 0;
  bool broken_ = false;
  bool uniform_ = false;
  int shift_ = 0, uniformWeight_ = 0;
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
