// Trimming one photo into the image object: the photo is copied 1:1 onto a
// canvas of the target's aspect ratio (cut or padded with bands) and the
// canvas is area-averaged down (or up) to the target size.
//
// Two roads lead there. The drawing road is the reference (trim_reference.cpp):
// it draws on the surface, snapshots, reloads, stretches, snapshots and
// decodes, the window's own steps. The streaming road gets the same
// bytes without the full-size canvas and without any snapshot; it is the one
// batches use, and the tests hold the two byte for byte together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/geometry.hpp"
#include "imaging/imaging.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

struct TrimOutcome {
  std::string readError;  // empty when the photo was decoded; else the picture is background only
  int photoWidth = 0;     // as decoded (0 × 0 when it could not be)
  int photoHeight = 0;
  Placement placement;
  int scaleDenom = 1;      // above 1: a JPEG decoded at 1/scaleDenom (fast mode)
  std::string imageError;  // non-empty: the image object holds nothing of this photo
};

// One per thread: it owns its surface, its image object and its buffers.
class TrimWorker {
 public:
  // `buttonFace` is the colour of the bands (the surface's background);
  // a display of 16 bits or less stretches by dropping pixels, not averaging.
  TrimWorker(const TargetSize& target, std::uint32_t buttonFace, int displayDepth = 24);

  // The streaming road; `fast` lets a JPEG that is shrunk 4 × or more be
  // decoded at a reduced scale (FastScaleDenom).
  TrimOutcome trim(const std::string& photo, FitBasis basis, bool fast = false);
  // The drawing road, step by step: the reference the streaming road matches.
  TrimOutcome trimReference(const std::string& photo, FitBasis basis);

  ImageRef& image() { return image_; }
  DrawingSurface& surface() { return surface_; }

 private:
  // `bytes` are the whole file, or with `rest` its first bytes and the file
  // to read the rest from as the photo decodes.
  TrimOutcome trimJpeg(const std::string& photo, std::span<const std::uint8_t> bytes, InputFile* rest,
                       const PictureHeader& header, FitBasis basis, bool fast);
  TrimOutcome trimDrawn(const Picture& picture, FitBasis basis);
  TrimOutcome backgroundOnly(std::string reason, FitBasis basis);
  void fillBackground();
  AreaResampler::RowSink targetSink();
  void takeTarget(TrimOutcome& outcome);
  void imageFailed(TrimOutcome& outcome, const char* otherwise);

  TargetSize target_;
  DrawingSurface surface_;
  ImageRef image_;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> pixels_;  // the target, stored like a bitmap file's rows
};

// The DCT scaling (1, 2, 4 or 8) for fast mode: the largest that still leaves
// the scaled canvas at least twice the target along both sides, and 1 unless
// the photo is shrunk by 4 × or more.
int FastScaleDenom(const Placement& placement, const TargetSize& target);

// Fails, saying why a photo with this placement is refused, with "too large:
// canvas of W × H pixels" when the canvas passes the picture limits. The
// drawing road holds its canvas whole, so its limit is the picture limit.
Result<void> CanvasRefusal(const Placement& placement);

// The drawing road holds the decoded photo (at most 4 bytes a pixel) and its
// 24-bit canvas whole: besides the canvas limit, both together must fit in
// `available` bytes, the memory the system has free (0: unknown, not held
// against the photo).
Result<void> DrawnRefusal(const PictureSize& photo, const Placement& placement, std::uint64_t available);

// The same for a JPEG photo, whose canvas is only ever streamed a row at a
// time: a canvas side may not pass the longest side the resampler takes,
// and what the decoder holds whole must fit its memory (CheckJpegStreamMemory).
Result<void> JpegRefusal(const JpegInfo& info, const Placement& placement, int scaleDenom);

// What a trim would do to a photo, from its header alone; a photo the trim
// would refuse for its size fails here too.
struct PhotoPlan {
  int width = 0;
  int height = 0;
  Placement placement;
};
Result<PhotoPlan> PlanPhoto(const std::string& photo, const TargetSize& target, FitBasis basis);

}  // namespace trimbrel
