// The surface's entry points that take registry handles. Kept apart so that
// code drawing Picture values directly does not pull in the registry.
#include "imaging/drawing_surface.hpp"

namespace trimbrel {

void DrawPicture(DrawingSurface& surface, PictureHandle picture, int left, int top, std::optional<int> width,
                 std::optional<int> height, std::optional<int> mode) {
  const auto held = AcquirePicture(picture);
  if (!held) return;
  DrawPicture(surface, *held, left, top, width, height, mode);
}

// The surface works in device pixels, so logical sizes are the pixel sizes.
std::int32_t PictureWidth(const DrawingSurface&, PictureHandle picture) { return PictureWidth(picture); }
std::int32_t PictureHeight(const DrawingSurface&, PictureHandle picture) { return PictureHeight(picture); }

}  // namespace trimbrel
