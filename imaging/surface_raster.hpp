// Inside the drawing surface: stretching rows from one size to another under
// the surface's stretch rule, and turning each picture kind into B,G,R rows.
#pragma once

#include <cstdint>
#include <functional>

#include "imaging/area_resampler.hpp"
#include "imaging/dib_view.hpp"

namespace trimbrel {

// A source row counted from the top, width*3 bytes B,G,R; valid until the
// next call.
using RowFetch = std::function<const std::uint8_t*(int y)>;

// Stretches a srcWidth × srcHeight source to dstWidth × dstHeight and hands
// over the destination rows in [rowBegin, rowEnd), top-down. `smooth` averages
// areas (through AreaResampler); otherwise each destination pixel takes the
// source pixel under its centre. Equal sizes copy rows unchanged in both
// modes. False when the resampler could not be set up.
bool StretchRows(int srcWidth, int srcHeight, const RowFetch& fetch, int dstWidth, int dstHeight,
                 bool smooth, int rowBegin, int rowEnd, const RowSink& store);
bool StretchDib(const DibView& source, int dstWidth, int dstHeight, bool smooth, const RowSink& store);

}  // namespace trimbrel
