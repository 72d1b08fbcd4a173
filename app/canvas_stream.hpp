// The canvas of a trim, streamed: decoder rows go in, canvas rows (band
// colour | photo row cut or padded | band colour) go on to the resampler,
// and no full-size canvas ever exists.
#pragma once

#include <cstdint>
#include <memory>

#include "app/geometry.hpp"
#include "imaging/imaging.hpp"

namespace trimbrel {

// A 0x00BBGGRR colour as the three bytes B, G, R.
inline void PutBgr(std::uint8_t* bgr, std::uint32_t colour) {
  bgr[0] = static_cast<std::uint8_t>(colour >> 16);
  bgr[1] = static_cast<std::uint8_t>(colour >> 8);
  bgr[2] = static_cast<std::uint8_t>(colour);
}

class CanvasStream : public RowStreamSink {
 public:
  // After the decoder is done: pushes the band rows below the photo. False
  // when the decoder stopped short or handed over rows out of order.
  virtual bool finish() = 0;
};

// `scaleDenom` 1 rebuilds the drawing road's canvas exactly, pixel for
// pixel. Above 1 the decoder delivers the photo reduced by that factor and
// the canvas is reduced with it; its band edges keep their true fractional
// position by blending the edge pixels with the band colour by coverage.
std::unique_ptr<CanvasStream> MakeCanvasStream(const Placement& placement, int photoWidth, int photoHeight,
                                               int scaleDenom, const TargetSize& target, std::uint32_t bandColour,
                                               AreaResampler::RowSink sink);

}  // namespace trimbrel
