// The trim inputs of the main window, the target size they give and the
// scale-and-centre rule that places each photo. All arithmetic is in double
// precision with every intermediate held as a double, so the pixel counts
// match the ones users already get from the window, to the pixel.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trimbrel {

// Selections of the unit combo box; -1 (no selection) can come from a stored state.
namespace Unit {
inline constexpr int Pixel = 0;
inline constexpr int Centimetre = 1;
inline constexpr int Inch = 2;
}  // namespace Unit

namespace FitBasis {
inline constexpr int Width = 0;
inline constexpr int Height = 1;
}  // namespace FitBasis

namespace OutputFormat {
inline constexpr int BMP = 0;
inline constexpr int JPG = 1;
inline constexpr int GIF = 2;
inline constexpr int TIFF = 3;
inline constexpr int PNG = 4;
}  // namespace OutputFormat

// The inputs as the controls hold them; texts are GBK. The defaults are those
// of a fresh window.
struct TrimSettings {
  std::string widthText = "2.6";
  std::string heightText = "3.2";
  int unit = Unit::Centimetre;
  std::string dpiText = "150";
  int basis = FitBasis::Width;
  int format = OutputFormat::JPG;
};

struct TargetSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Where one photo goes. The offsets are in target pixels, the canvas and the
// draw position in photo pixels.
struct Placement {
  double scale = 0.0;  // photo pixels per target pixel
  int offsetX = 0;
  int offsetY = 0;
  int canvasWidth = 0;
  int canvasHeight = 0;
  int drawLeft = 0;
  int drawTop = 0;
};

// One target dimension in pixels. Every unit other than Pixel multiplies by
// the DPI; Centimetre also by 0.3937008 (a rounded inch, not 1/2.54).
std::int32_t ToTargetPixels(std::string_view valueText, int unit, std::string_view dpiText);

// Both dimensions, width first.
TargetSize ToTargetSize(const TrimSettings& settings);

// The basis dimension of the photo maps exactly onto the target, the other is
// centred: cut on both ends (negative offset) or given bands (positive).
// A photo of 0 × 0 (one that could not be decoded) gives an empty placement.
// Any basis other than Height fits the width.
Placement ComputePlacement(std::int32_t photoWidth, std::int32_t photoHeight,
                           const TargetSize& target, int basis);

// The resolution written into every output picture: the DPI the pixels were
// computed with, in every unit, so that 2.6 cm at 150 DPI is 154 pixels that
// print 2.6 cm wide. Pixel mode, which has no physical size, stores the DPI
// box as it stands. The unit is kept for the callers; it changes nothing.
std::int32_t StoredResolution(std::string_view dpiText, int unit);

// Empty when a picture of this size can be made; otherwise a message (UTF-8)
// naming the wrong input. Zero or negative sides, sides over 65535 and more
// than 2^28 pixels in all are refused.
std::string CheckTargetSize(const TargetSize& target);

}  // namespace trimbrel
