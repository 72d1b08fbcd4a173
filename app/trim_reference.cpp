// The drawing road, the reference of every trim: the window's own steps on
// the drawing surface (draw the photo 1:1 on the canvas, snapshot, reload,
// stretch onto the target, snapshot, decode). The streaming road of
// trim_engine.cpp is held to its bytes. It also trims for displays of 16
// bits or less, whose stretch drops pixels instead of averaging them, and
// the canvases of no width or height that the streaming road leaves to the
// surface.
#include <utility>
#include <vector>

#include "app/trim_engine.hpp"

namespace trimbrel {

TrimOutcome TrimWorker::trimReference(const std::string& photo, FitBasis basis) {
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
  if (!DecodeFromBin(image_, bytes, IMAGE_FORMAT_BMP)) imageFailed(outcome, "no snapshot of the target could be made");
  return outcome;
}
}  // namespace trimbrel
