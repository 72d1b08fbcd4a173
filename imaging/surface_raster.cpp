#include "imaging/surface_raster.hpp"

#include <algorithm>
#include <new>
#include <vector>

#include "imaging/area_resampler.hpp"

namespace trimbrel {

bool StretchRows(int sw, int sh, const RowFetch& fetch, int dw, int dh, bool smooth, int rowBegin, int rowEnd,
                 const RowSink& store) {
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return false;
  rowBegin = std::max(0, rowBegin);
  rowEnd = std::min(dh, rowEnd);
  if (rowBegin >= rowEnd) return true;
  if (sw == dw && sh == dh) {
    for (int y = rowBegin; y < rowEnd; ++y) store(y, fetch(y));
    return true;
  }
  if (smooth) {
    AreaResampler resampler(sw, sh, dw, dh, [&](int y, const std::uint8_t* bgr) {
      if (y >= rowBegin && y < rowEnd) store(y, bgr);
    });
    if (!resampler.ok()) return false;
    // Source rows below the last wanted destination row change nothing.
    for (int y = 0; y < sh && resampler.rowsEmitted() < rowEnd; ++y) resampler.pushRow(fetch(y));
    return true;
  }
  std::vector<std::int32_t> columns;
  std::vector<std::uint8_t> row;
  try {
    columns.resize(dw);
    row.resize(static_cast<std::size_t>(dw) * 3);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // The source pixel under each destination pixel's centre.
  for (int x = 0; x < dw; ++x) {
    columns[x] = static_cast<std::int32_t>((static_cast<std::int64_t>(2 * x + 1) * sw) / (2 * static_cast<std::int64_t>(dw)));
  }
  for (int y = rowBegin; y < rowEnd; ++y) {
    const int sy = static_cast<int>((static_cast<std::int64_t>(2 * y + 1) * sh) / (2 * static_cast<std::int64_t>(dh)));
    const std::uint8_t* src = fetch(sy);
    for (int x = 0; x < dw; ++x) {
      const std::uint8_t* p = src + static_cast<std::size_t>(columns[x]) * 3;
      row[3 * x] = p[0];
      row[3 * x + 1] = p[1];
      row[3 * x + 2] = p[2];
    }
    store(y, row.data());
  }
  return true;
}

bool StretchDib(const DibView& source, int dw, int dh, bool smooth, const RowSink& store) {
  if (source.rows == nullptr) return false;
  return StretchRows(
      source.width, source.height, [&](int y) { return source.rowFromTop(y); }, dw, dh, smooth, 0, dh, store);
}

}  // namespace trimbrel
