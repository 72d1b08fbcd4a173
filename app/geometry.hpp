// The trim inputs of the main window, the target size they give and the
// scale-and-centre rule that places each photo. All arithmetic is in double
// precision with every intermediate held as a double, so the pixel counts
// are the window's, to the pixel.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "app/output_format.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

// The enums of the inputs are the selections of the window's combo boxes,
// in list order. A stored state can put any number there (-1: no selection),
// and each rule below says what such a value does.
enum class Unit : std::int32_t { Pixel = 0, Centimetre = 1, Inch = 2 };

enum class FitBasis : std::int32_t { Width = 0, Height = 1 };

// The selection as the window's property interface and its INI file hold it.
template <class Choice>
concept ComboChoice = std::is_same_v<Choice, Unit> || std::is_same_v<Choice, FitBasis> ||
                      std::is_same_v<Choice, OutputFormat>;
template <ComboChoice Choice>
constexpr std::int32_t SelectionIndex(Choice choice) {
  return static_cast<std::int32_t>(choice);
}
template <ComboChoice Choice>
constexpr Choice FromSelectionIndex(std::int32_t index) {
  return static_cast<Choice>(index);
}

// The inputs as the controls hold them; texts are GBK. The defaults are those
// of a fresh window.
struct TrimSettings {
  std::string widthText = "2.6";
  std::string heightText = "3.2";
  Unit unit = Unit::Centimetre;
  std::string dpiText = "150";
  FitBasis basis = FitBasis::Width;
  OutputFormat format = OutputFormat::JPG;
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
std::int32_t ToTargetPixels(std::string_view valueText, Unit unit, std::string_view dpiText);

// The same count rounded but not yet wrapped to 32 bits, so that a message
// can say how far past any real size an input lies.
double UnwrappedTargetPixels(std::string_view valueText, Unit unit, std::string_view dpiText);

// Both dimensions, width first.
TargetSize ToTargetSize(const TrimSettings& settings);

// The basis dimension of the photo maps exactly onto the target, the other is
// centred: cut on both ends (negative offset) or given bands (positive).
// A photo of 0 × 0 (one that could not be decoded) gives an empty placement.
// Any basis other than Height fits the width.
Placement ComputePlacement(std::int32_t photoWidth, std::int32_t photoHeight,
                           const TargetSize& target, FitBasis basis);

// The resolution written into every output picture: the DPI the pixels were
// computed with, in every unit, so that 2.6 cm at 150 DPI is 154 pixels that
// print 2.6 cm wide. Pixel mode, which has no physical size, stores the DPI
// box as it stands. The unit is kept for the callers; it changes nothing.
std::int32_t StoredResolution(std::string_view dpiText, Unit unit);

// Fails, with a message (UTF-8) naming the wrong side, unless a picture of
// this size can be made: zero or negative sides, sides over 65535 and more
// than 2^28 pixels in all are refused.
Result<void> CheckTargetSize(const TargetSize& target);

}  // namespace trimbrel
