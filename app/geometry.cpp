#include "app/geometry.hpp"

#include <cmath>

#include "platform/platform.hpp"

namespace trimbrel {

double UnwrappedTargetPixels(std::string_view valueText, Unit unit, std::string_view dpiText) {
  const double v = ParseNumber(valueText);
  const double m = unit == Unit::Pixel ? 1.0 : static_cast<double>(ParseInteger(dpiText));
  const double f = unit == Unit::Centimetre ? 0.3937008 : 1.0;
  const double x = v * m * f;
  return RoundHalfAway(x);
}

std::int32_t ToTargetPixels(std::string_view valueText, Unit unit, std::string_view dpiText) {
  return TruncateToInt(UnwrappedTargetPixels(valueText, unit, dpiText));
}

TargetSize ToTargetSize(const TrimSettings& settings) {
  TargetSize target;
  target.width = ToTargetPixels(settings.widthText, settings.unit, settings.dpiText);
  target.height = ToTargetPixels(settings.heightText, settings.unit, settings.dpiText);
  return target;
}

Placement ComputePlacement(std::int32_t photoWidth, std::int32_t photoHeight,
                           const TargetSize& target, FitBasis basis) {
  const double pw = photoWidth;
  const double ph = photoHeight;
  const double tw = target.width;
  const double th = target.height;
  Placement p;
  // The offset is truncated in target pixels before it is scaled back, so the
  // two cut ends may differ by up to two photo pixels; results depend on it.
  // A 0 × 0 photo makes the quotients 0/0, which TruncateToInt turns into 0.
  if (basis == FitBasis::Height) {
    p.scale = ph / th;
    p.offsetX = TruncateToInt((tw - pw / p.scale) / 2.0);
  } else {
    p.scale = pw / tw;
    p.offsetY = TruncateToInt((th - ph / p.scale) / 2.0);
  }
  const double s = p.scale;
  p.canvasWidth = TruncateToInt(pw + p.offsetX * s * 2.0);
  p.canvasHeight = TruncateToInt(ph + p.offsetY * s * 2.0);
  p.drawLeft = TruncateToInt(p.offsetX * s);
  p.drawTop = TruncateToInt(p.offsetY * s);
  return p;
}

std::int32_t StoredResolution(std::string_view dpiText, Unit /*unit*/) { return ParseInteger(dpiText); }

Result<void> CheckTargetSize(const TargetSize& target) {
  const auto pixels = [](std::int64_t n) { return std::to_string(n) + " pixels"; };
  if (target.width <= 0) return Fail("target width must be positive (got " + pixels(target.width) + ")");
  if (target.height <= 0) return Fail("target height must be positive (got " + pixels(target.height) + ")");
  if (target.width > kMaxPictureSide)
    return Fail("target width " + std::to_string(target.width) + " exceeds " + pixels(kMaxPictureSide));
  if (target.height > kMaxPictureSide)
    return Fail("target height " + std::to_string(target.height) + " exceeds " + pixels(kMaxPictureSide));
  if (!PictureSizeAllowed(target.width, target.height))
    return Fail("target " + std::to_string(target.width) + " × " + std::to_string(target.height) + " exceeds " +
                pixels(kMaxPicturePixels));
  return {};
}

}  // namespace trimbrel
