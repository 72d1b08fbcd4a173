#include "app/trim_engine.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <span>

#include "app/batch_file.hpp"

namespace trimbrel {

namespace {

constexpr int kJpegKind = 1;

void PutColour(std::uint8_t* bgr, std::uint32_t colour) {
  bgr[0] = static_cast<std::uint8_t>(colour >> 16);
  bgr[1] = static_cast<std::uint8_t>(colour >> 8);
  bgr[2] = static_cast<std::uint8_t>(colour);
}

bool CanvasDrawable(const Placement& p) {
  return p.canvasWidth > 0 && p.canvasHeight > 0;
}

// Feeds decoder rows into the resampler as the rows of the canvas the
// drawing road would have built: band rows above, then each photo row cut
// or padded at drawLeft, then band rows below. Rows the canvas does not show
// are dropped as they arrive, so no full-size picture ever exists.
class CanvasFeeder final : public RowStreamSink {
 public:
  CanvasFeeder(const Placement& placement, int photoWidth, int photoHeight, const TargetSize& target,
               std::uint32_t background, AreaResampler::RowSink sink)
      : placement_(placement), photoWidth_(photoWidth), photoHeight_(photoHeight), target_(target),
        background_(background), sink_(std::move(sink)) {}

  bool begin(int width, int height) override {
    if (width <= 0 || height <= 0) return false;
    int cw = placement_.canvasWidth, ch = placement_.canvasHeight;
    int left = placement_.drawLeft, top = placement_.drawTop;
    if (width != photoWidth_ || height != photoHeight_) {
      // A reduced decode: the canvas shrinks with the photo, so bands and
      // cuts stay where they were to within a fraction of a target pixel.
      double fx = static_cast<double>(width) / photoWidth_;
      double fy = static_cast<double>(height) / photoHeight_;
      cw = std::max(1, static_cast<int>(RoundHalfAway(cw * fx)));
      ch = std::max(1, static_cast<int>(RoundHalfAway(ch * fy)));
      left = static_cast<int>(RoundHalfAway(left * fx));
      top = static_cast<int>(RoundHalfAway(top * fy));
    }
    canvasWidth_ = cw;
    canvasHeight_ = ch;
    left_ = left;
    resampler_.emplace(cw, ch, target_.width, target_.height, sink_);
    if (!resampler_->ok()) return false;
    // Canvas columns [x0, x1) show the photo; rows [firstRow, endRow) of the photo are shown.
    x0_ = std::max(0, left);
    x1_ = static_cast<int>(std::min<long long>(cw, static_cast<long long>(left) + width));
    firstRow_ = std::max(0, -top);
    endRow_ = static_cast<int>(std::clamp<long long>(static_cast<long long>(ch) - top, 0, height));
    if (endRow_ < firstRow_) endRow_ = firstRow_;
    int above = std::clamp(top, 0, ch);
    if (above > 0) resampler_->pushUniformRows(above, background_);
    pushed_ = above;
    padded_ = x1_ > x0_ && (x0_ > 0 || x1_ < cw);
    if (padded_) {
      row_.resize(static_cast<std::size_t>(cw) * 3);
      for (int x = 0; x < cw; ++x) PutColour(&row_[static_cast<std::size_t>(x) * 3], background_);
    }
    return true;
  }

  void row(int y, const std::uint8_t* bgr) override {
    if (y != nextRow_++) broken_ = true;
    if (broken_ || y < firstRow_ || y >= endRow_) return;
    if (x1_ <= x0_) {
      resampler_->pushUniformRows(1, background_);
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

  // The band rows below the photo; false when the decoder stopped short.
  bool finish() {
    if (!resampler_ || broken_ || nextRow_ < endRow_) return false;
    int below = canvasHeight_ - pushed_;
    if (below > 0) resampler_->pushUniformRows(below, background_);
    return true;
  }

 private:
  Placement placement_;
  int photoWidth_, photoHeight_;
  TargetSize target_;
  std::uint32_t background_;
  AreaResampler::RowSink sink_;
  std::optional<AreaResampler> resampler_;
  std::vector<std::uint8_t> row_;
  int canvasWidth_ = 0, canvasHeight_ = 0, left_ = 0;
  int x0_ = 0, x1_ = 0, firstRow_ = 0, endRow_ = 0;
  int pushed_ = 0, nextRow_ = 0;
  bool padded_ = false, broken_ = false;
};

}  // namespace

int FastScaleDenom(const Placement& placement, const TargetSize& target) {
  if (placement.scale < 4.0) return 1;
  for (int denom : {8, 4, 2}) {
    if (placement.canvasWidth / denom >= 2LL * target.width &&
        placement.canvasHeight / denom >= 2LL * target.height)
      return denom;
  }
  return 1;
}

TrimWorker::TrimWorker(const TargetSize& target, std::uint32_t buttonFace, int displayDepth)
    : target_(target), surface_(buttonFace, displayDepth) {
  // The surface starts at the target size, as the window's does when a run begins.
  ResizeSurface(surface_, {}, {}, target.width, target.height);
  stride_ = (static_cast<std::size_t>(target.width) * 3 + 3) / 4 * 4;
}

// Both roads end here with the target's pixels in pixels_. A bitmap decoded
// from a snapshot holds the snapshot's rows unchanged, so handing the rows
// over directly leaves the image object in the state the snapshot would.
void TrimWorker::takeTarget(TrimOutcome& outcome) {
  DibView view{target_.width, target_.height, stride_, pixels_.data()};
  if (!DecodeFromDib(image_, view)) {
    outcome.imageError = LastImageError(image_);
    if (outcome.imageError.empty()) outcome.imageError = "the image object refused the picture";
    // Nothing of an earlier photo may stay behind to be written under this name.
    Free(image_);
  }
}

// A photo that cannot be decoded leaves the drawing road with a 0 × 0 canvas,
// which the surface holds as one background pixel; stretching it gives the
// background everywhere.
void TrimWorker::fillBackground() {
  pixels_.assign(stride_ * static_cast<std::size_t>(target_.height), 0);
  std::uint8_t pixel[3];
  PutColour(pixel, surface_.effectiveBackground());
  AreaResampler resampler(1, 1, target_.width, target_.height, [this](int row, const std::uint8_t* bgr) {
    std::memcpy(&pixels_[stride_ * static_cast<std::size_t>(target_.height - 1 - row)], bgr,
                static_cast<std::size_t>(target_.width) * 3);
  });
  if (resampler.ok()) resampler.pushRow(pixel);
}

TrimOutcome TrimWorker::trim(const std::string& photo, int basis, bool fast) {
  // Without averaging the stretch is the surface's own nearest-pixel rule.
  if (surface_.displayDepth() <= 16) return trimLiteral(photo, basis);

  TrimOutcome outcome;
  auto bytes = ReadPhotoFile(photo);
  if (!bytes) {
    outcome.readError = bytes.error().reason;
  } else if (bytes.value().size() >= 8 && DetectPictureKind(bytes.value()) == kJpegKind) {
    return trimJpeg(photo, bytes.value(), basis, fast);
  } else {
    auto picture = DecodePictureBytes(bytes.value());
    std::vector<std::uint8_t>().swap(bytes.value());
    if (picture) return trimDrawn(picture.value(), basis);
    outcome.readError = picture.error().reason;
  }
  outcome.placement = ComputePlacement(0, 0, target_, basis);
  fillBackground();
  takeTarget(outcome);
  return outcome;
}

TrimOutcome TrimWorker::trimJpeg(const std::string& photo, std::span<const std::uint8_t> bytes, int basis,
                                 bool fast) {
  TrimOutcome outcome;
  auto info = ReadJpegInfo(bytes);
  if (info) {
    outcome.photoWidth = info.value().width;
    outcome.photoHeight = info.value().height;
    outcome.placement = ComputePlacement(outcome.photoWidth, outcome.photoHeight, target_, basis);
    // A canvas of no width or height is the surface's business (it keeps at
    // least one pixel); leave such oddities to the drawing road.
    if (!CanvasDrawable(outcome.placement)) return trimLiteral(photo, basis);
    outcome.scaleDenom = fast ? FastScaleDenom(outcome.placement, target_) : 1;
    pixels_.assign(stride_ * static_cast<std::size_t>(target_.height), 0);
    CanvasFeeder feeder(outcome.placement, outcome.photoWidth, outcome.photoHeight, target_,
                        surface_.effectiveBackground(), [this](int row, const std::uint8_t* bgr) {
                          std::memcpy(&pixels_[stride_ * static_cast<std::size_t>(target_.height - 1 - row)],
                                      bgr, static_cast<std::size_t>(target_.width) * 3);
                        });
    auto decoded = DecodeJpegRows(bytes, outcome.scaleDenom, feeder);
    if (decoded && feeder.finish()) {
      takeTarget(outcome);
      return outcome;
    }
    outcome.readError = decoded ? "damaged: the decoder stopped early" : decoded.error().reason;
  } else {
    outcome.readError = info.error().reason;
  }
  // Undecodable: the drawing road would have drawn a 0 × 0 picture.
  outcome.photoWidth = outcome.photoHeight = 0;
  outcome.scaleDenom = 1;
  outcome.placement = ComputePlacement(0, 0, target_, basis);
  fillBackground();
  takeTarget(outcome);
  return outcome;
}

// Kinds other than JPEG are drawn 1:1 on the surface as always (it knows how
// each kind is converted and composited); only the stretch is streamed. The
// surface's own averaging stretch runs through the same AreaResampler, fed
// the same rows, so the target pixels equal those of snapshot, reload and
// stretch, and both snapshots can be skipped.
TrimOutcome TrimWorker::trimDrawn(const Picture& picture, int basis) {
  TrimOutcome outcome;
  outcome.photoWidth = picture.width;
  outcome.photoHeight = picture.height;
  outcome.placement = ComputePlacement(picture.width, picture.height, target_, basis);
  const Placement& p = outcome.placement;
  ClearSurface(surface_);
  ResizeSurface(surface_, {}, {}, p.canvasWidth, p.canvasHeight);
  DrawPicture(surface_, picture, p.drawLeft, p.drawTop, picture.width, picture.height);
  pixels_.assign(stride_ * static_cast<std::size_t>(target_.height), 0);
  if (surface_.hasBitmap()) {
    AreaResampler resampler(surface_.width(), surface_.height(), target_.width, target_.height,
                            [this](int row, const std::uint8_t* bgr) {
                              std::memcpy(&pixels_[stride_ * static_cast<std::size_t>(target_.height - 1 - row)],
                                          bgr, static_cast<std::size_t>(target_.width) * 3);
                            });
    if (resampler.ok()) {
      const std::size_t stride = surface_.stride();
      const std::uint8_t* rows = surface_.rows().data();
      for (int y = surface_.height() - 1; y >= 0; --y) resampler.pushRow(rows + stride * static_cast<std::size_t>(y));
    } else {
      outcome.readError = "too large: no memory to stretch the canvas";
    }
  } else {
    outcome.readError = "too large: canvas of " + std::to_string(p.canvasWidth) + " × " +
                        std::to_string(p.canvasHeight) + " pixels";
  }
  // Give the canvas's memory back between photos.
  ClearSurface(surface_);
  ResizeSurface(surface_, {}, {}, target_.width, target_.height);
  if (!outcome.readError.empty()) fillBackground();
  takeTarget(outcome);
  return outcome;
}

TrimOutcome TrimWorker::trimLiteral(const std::string& photo, int basis) {
  TrimOutcome outcome;
  auto decoded = DecodePictureFile(photo);
  PictureHandle picture = 0;
  if (decoded) {
    picture = RegisterPicture(std::move(decoded.value()));
  } else {
    outcome.readError = decoded.error().reason;
  }
  outcome.photoWidth = PictureWidth(surface_, picture);
  outcome.photoHeight = PictureHeight(surface_, picture);
  outcome.placement = ComputePlacement(outcome.photoWidth, outcome.photoHeight, target_, basis);
  const Placement& p = outcome.placement;

  ClearSurface(surface_);
  ResizeSurface(surface_, {}, {}, p.canvasWidth, p.canvasHeight);
  DrawPicture(surface_, picture, p.drawLeft, p.drawTop, outcome.photoWidth, outcome.photoHeight);
  UnloadPicture(picture);

  std::vector<std::uint8_t> bytes = TakeSnapshot(surface_);
  PictureHandle canvas = LoadPicture(bytes);
  std::vector<std::uint8_t>().swap(bytes);

  ResizeSurface(surface_, {}, {}, target_.width, target_.height);
  ClearSurface(surface_);
  DrawPicture(surface_, canvas, 0, 0, target_.width, target_.height);
  UnloadPicture(canvas);

  bytes = TakeSnapshot(surface_);
  if (!DecodeFromBin(image_, bytes, IMAGE_FORMAT_BMP)) {
    outcome.imageError = LastImageError(image_);
    if (outcome.imageError.empty()) outcome.imageError = "no snapshot of the target could be made";
    Free(image_);
  }
  return outcome;
}

Result<PhotoPlan> PlanPhoto(const std::string& photo, const TargetSize& target, int basis) {
  auto bytes = ReadPhotoFile(photo);
  if (!bytes) return bytes.error();
  PhotoPlan plan;
  if (bytes.value().size() >= 8 && DetectPictureKind(bytes.value()) == kJpegKind) {
    auto info = ReadJpegInfo(bytes.value());
    if (!info) return info.error();
    plan.width = info.value().width;
    plan.height = info.value().height;
  } else {
    auto picture = DecodePictureBytes(bytes.value());
    if (!picture) return picture.error();
    plan.width = picture.value().width;
    plan.height = picture.value().height;
  }
  plan.placement = ComputePlacement(plan.width, plan.height, target, basis);
  return plan;
}

}  // namespace trimbrel
