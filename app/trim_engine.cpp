#include "app/trim_engine.hpp"

#include <cstring>
#include <span>
#include <utility>

#include "app/canvas_stream.hpp"

namespace trimbrel {

namespace {

// Enough for the header of nearly every photo, EXIF and its thumbnail
// included; a header that runs past it is read with the whole file.
constexpr std::size_t kPhotoHeadBytes = 64 * 1024;

bool CanvasDrawable(const Placement& p) {
  return p.canvasWidth > 0 && p.canvasHeight > 0;
}

std::string CanvasTooLarge(const Placement& p) {
  return "too large: canvas of " + std::to_string(p.canvasWidth) + " × " + std::to_string(p.canvasHeight) +
         " pixels";
}

}  // namespace

Result<void> CanvasRefusal(const Placement& placement) {
  if (!CanvasDrawable(placement) || PictureSizeAllowed(placement.canvasWidth, placement.canvasHeight)) return {};
  return Fail(CanvasTooLarge(placement));
}

Result<void> DrawnRefusal(const PictureSize& photo, const Placement& placement, std::uint64_t available) {
  TRIMBREL_TRY(CanvasRefusal(placement));
  if (available == 0 || !CanvasDrawable(placement)) return {};
  const std::uint64_t picture = std::uint64_t{static_cast<std::uint32_t>(photo.width)} *
                                static_cast<std::uint32_t>(photo.height) * 4;
  const std::uint64_t canvas = DibStride(static_cast<std::uint32_t>(placement.canvasWidth)) *
                               static_cast<std::uint32_t>(placement.canvasHeight);
  if (picture + canvas <= available) return {};
  auto megabytes = [](std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB"; };
  return Fail("too large: " + std::to_string(photo.width) + " × " + std::to_string(photo.height) + " needs " +
              megabytes(picture + canvas) + " to draw, and " + megabytes(available) + " are free");
}

Result<void> JpegRefusal(const JpegInfo& info, const Placement& placement, int scaleDenom) {
  if (CanvasDrawable(placement) &&
      (placement.canvasWidth > kMaxPictureSide || placement.canvasHeight > kMaxPictureSide)) {
    return Fail(CanvasTooLarge(placement));
  }
  return CheckJpegStreamMemory(info, scaleDenom);
}

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
  stride_ = DibStride(static_cast<std::size_t>(target.width));
}

// Target rows arrive top-down and are stored like a bitmap file's, bottom up.
AreaResampler::RowSink TrimWorker::targetSink() {
  return [this](int row, const std::uint8_t* bgr) {
    std::memcpy(&pixels_[stride_ * static_cast<std::size_t>(target_.height - 1 - row)], bgr,
                static_cast<std::size_t>(target_.width) * 3);
  };
}

// Both roads end here with the target's pixels in pixels_. A bitmap decoded
// from a snapshot holds the snapshot's rows unchanged, so handing the rows
// over directly leaves the image object in the state the snapshot would.
void TrimWorker::takeTarget(TrimOutcome& outcome) {
  DibView view{target_.width, target_.height, stride_, pixels_.data()};
  if (!DecodeFromDib(image_, view)) imageFailed(outcome, "the image object refused the picture");
}

// The image object's own words, or `otherwise` when it has none.
void TrimWorker::imageFailed(TrimOutcome& outcome, const char* otherwise) {
  outcome.imageError = LastImageError(image_);
  if (outcome.imageError.empty()) outcome.imageError = otherwise;
  // Nothing of an earlier photo may stay behind to be written under this name.
  Free(image_);
}

// A photo that cannot be decoded leaves the drawing road with a 0 × 0 canvas,
// which the surface holds as one background pixel; stretching it gives the
// background everywhere.
void TrimWorker::fillBackground() {
  pixels_.assign(stride_ * static_cast<std::size_t>(target_.height), 0);
  std::uint8_t pixel[3];
  PutBgr(pixel, surface_.effectiveBackground());
  AreaResampler resampler(1, 1, target_.width, target_.height, targetSink());
  if (resampler.ok()) resampler.pushRow(pixel);
}

// Every photo that is not decoded, or refused before it is, ends here. The
// drawing road would draw it as a 0 × 0 picture: the band colour alone.
TrimOutcome TrimWorker::backgroundOnly(std::string reason, FitBasis basis) {
  TrimOutcome outcome;
  outcome.readError = std::move(reason);
  outcome.placement = ComputePlacement(0, 0, target_, basis);
  fillBackground();
  takeTarget(outcome);
  return outcome;
}

TrimOutcome TrimWorker::trim(const std::string& photo, FitBasis basis, bool fast) {
  // Without averaging the stretch is the surface's own nearest-pixel rule.
  if (surface_.displayDepth() <= 16) return trimReference(photo, basis);

  // A sequential JPEG is decoded as its file is read, a block at a time:
  // each block is still in the cache when the decoder takes it, and no
  // memory is faulted in for the whole file. Anything else is read whole.
  auto head = ReadFileHead(photo, kPhotoHeadBytes);
  if (!head) return backgroundOnly(head.error().reason, basis);
  PictureHeader header;
  const bool jpegHead = !head.value().whole() && DetectPictureKind(head.value().bytes.span()) == PictureKind::Jpeg;
  if (jpegHead) {
    header = ReadPictureHeader(head.value().bytes.span());
    if (header.size && !header.jpeg.progressive) {
      return trimJpeg(photo, head.value().bytes.span(), &head.value().file, header, basis, fast);
    }
  }
  auto bytes = ReadFileRest(head.value());
  if (!bytes) return backgroundOnly(bytes.error().reason, basis);
  // A JPEG header that the head held whole holds for the whole file (libjpeg
  // reads nothing past the first scan's header for it); one the head cut
  // short, and every other kind, is read from the whole file.
  if (!jpegHead || !header.size) header = ReadPictureHeader(bytes.value().span());
  if (header.kind == PictureKind::Jpeg) return trimJpeg(photo, bytes.value().span(), nullptr, header, basis, fast);
  // A canvas the surface cannot hold is known from the header: the photo
  // is not decoded only to be refused.
  if (const Result<PictureSize>& size = header.size) {
    const Placement placement = ComputePlacement(size.value().width, size.value().height, target_, basis);
    if (auto fits = DrawnRefusal(size.value(), placement, AvailableMemory()); !fits) {
      return backgroundOnly(fits.error().reason, basis);
    }
  }
  auto picture = DecodePictureBytes(bytes.value().span());
  bytes.value().release();
  if (!picture) return backgroundOnly(picture.error().reason, basis);
  return trimDrawn(picture.value(), basis);
}

// JPEG photos skip the surface altogether, and the result is the drawing
// road's to the byte:
// - the canvas rows handed to the resampler are those the surface holds
//   after clear, resize and the 1:1 draw: band colour wherever the photo
//   does not reach, else the decoder's row (the picture loader decodes
//   through the same code, so its rows are these);
// - the first snapshot and its reload carry 24-bit rows unchanged;
// - the surface's averaging stretch is this same AreaResampler fed the same
//   rows top-down;
// - DecodeFromDib of the target rows leaves the image object as
//   DecodeFromBin of the second snapshot would (takeTarget).
// Only the fast mode (scaleDenom above 1) departs from it, on purpose.
TrimOutcome TrimWorker::trimJpeg(const std::string& photo, std::span<const std::uint8_t> bytes, InputFile* rest,
                                 const PictureHeader& header, FitBasis basis, bool fast) {
  if (!header.size) return backgroundOnly(header.size.error().reason, basis);
  const JpegInfo& info = header.jpeg;
  TrimOutcome outcome;
  outcome.photoWidth = info.width;
  outcome.photoHeight = info.height;
  outcome.placement = ComputePlacement(outcome.photoWidth, outcome.photoHeight, target_, basis);
  // A canvas of no width or height is the surface's business (it keeps at
  // least one pixel); leave such oddities to the drawing road.
  if (!CanvasDrawable(outcome.placement)) return trimReference(photo, basis);
  outcome.scaleDenom = fast ? FastScaleDenom(outcome.placement, target_) : 1;
  // Refused before decoding: the reason says why.
  if (auto fits = JpegRefusal(info, outcome.placement, outcome.scaleDenom); !fits) {
    return backgroundOnly(fits.error().reason, basis);
  }
  pixels_.assign(stride_ * static_cast<std::size_t>(target_.height), 0);
  auto canvas = MakeCanvasStream(outcome.placement, outcome.photoWidth, outcome.photoHeight, outcome.scaleDenom,
                                 target_, surface_.effectiveBackground(), targetSink());
  auto decoded = rest ? DecodeJpegRows(bytes, *rest, outcome.scaleDenom, *canvas)
                      : DecodeJpegRows(bytes, outcome.scaleDenom, *canvas);
  if (!decoded) return backgroundOnly(decoded.error().reason, basis);
  if (!canvas->finish()) return backgroundOnly("damaged: the decoder stopped early", basis);
  takeTarget(outcome);
  return outcome;
}

// Kinds other than JPEG are drawn 1:1 on the surface (it knows how
// each kind is converted and composited); only the stretch is streamed. The
// surface's own averaging stretch runs through the same AreaResampler, fed
// the same rows, so the target pixels equal those of snapshot, reload and
// stretch, and both snapshots can be skipped.
TrimOutcome TrimWorker::trimDrawn(const Picture& picture, FitBasis basis) {
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
    AreaResampler resampler(surface_.width(), surface_.height(), target_.width, target_.height, targetSink());
    if (resampler.ok()) {
      const std::size_t stride = surface_.stride();
      const std::uint8_t* rows = surface_.rows().data();
      for (int y = surface_.height() - 1; y >= 0; --y) resampler.pushRow(rows + stride * static_cast<std::size_t>(y));
    } else {
      outcome.readError = "too large: no memory to stretch the canvas";
    }
  } else {
    outcome.readError = CanvasTooLarge(p);
  }
  // Give the canvas's memory back between photos.
  ClearSurface(surface_);
  ResizeSurface(surface_, {}, {}, target_.width, target_.height);
  if (!outcome.readError.empty()) fillBackground();
  takeTarget(outcome);
  return outcome;
}

Result<PhotoPlan> PlanPhoto(const std::string& photo, const TargetSize& target, FitBasis basis) {
  TRIMBREL_TRY_ASSIGN(const FileBytes bytes, ReadWholeFile(photo));
  const PictureHeader header = ReadPictureHeader(bytes.span());
  TRIMBREL_TRY_ASSIGN(const PictureSize size, header.size);
  PhotoPlan plan;
  plan.width = size.width;
  plan.height = size.height;
  plan.placement = ComputePlacement(plan.width, plan.height, target, basis);
  TRIMBREL_TRY(header.kind == PictureKind::Jpeg ? JpegRefusal(header.jpeg, plan.placement, 1)
                                                : DrawnRefusal(size, plan.placement, AvailableMemory()));
  return plan;
}

}  // namespace trimbrel
