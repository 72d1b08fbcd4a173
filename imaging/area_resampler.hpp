// Area-averaging resampler that streams rows: every destination pixel is the
// coverage-weighted mean of the source pixels its area covers, for shrinking
// and enlarging alike, rounded once, and equal sizes copy pixels unchanged.
// Separable and in exact integers: source rows are summed vertically as they
// come (a plain sum for rows wholly inside a destination row, so the hot loop
// is a widening add the compiler vectorises), and each finished destination
// row gets its horizontal pass. The batch engine
// feeds decoder rows straight in, so a large photo never exists as a whole
// canvas; the drawing surface's smooth stretch runs through the same class,
// so the same rows give the same pixels on either road.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace trimbrel {

// Where finished rows go, wherever they are made (the resampler, the
// surface's stretch): row y counted from the top, width*3 bytes B,G,R, valid
// only during the call.
using RowSink = std::function<void(int y, const std::uint8_t* bgr)>;

class AreaResampler {
 public:
  // Destination rows are handed over top-down, dstWidth wide.
  using RowSink = trimbrel::RowSink;

  // Sizes above 65535 on a side are refused like non-positive ones.
  AreaResampler(int srcWidth, int srcHeight, int dstWidth, int dstHeight, RowSink sink);

  // False for non-positive or oversized sizes, or when memory could not be had.
  bool ok() const { return ok_; }

  // The next source row, top-down, srcWidth*3 bytes B,G,R. Rows past the
  // source height are ignored.
  void pushRow(const std::uint8_t* bgr);
  // `count` rows of one colour (bands). Costs one pass per destination row
  // touched, and gives exactly what pushing the rows one by one would.
  void pushUniformRows(int count, std::uint32_t colour0x00BBGGRR);

  int rowsPushed() const { return srcRow_; }
  int rowsEmitted() const { return dstRow_; }

 private:
  // Adds `count` source rows, all equal to `bgr` or (without it) all of the
  // colour in uniform_, to the vertical sums, emitting finished rows.
  void accumulate(const std::uint8_t* bgr, int count);
  void emit();
  std::uint8_t divide(std::uint64_t sum) const;

  int srcW_ = 0, srcH_ = 0, dstW_ = 0, dstH_ = 0;
  RowSink sink_;
  bool ok_ = false;

  // Coverage in exact integers. Along each axis a source pixel is dst long
  // and a destination pixel src long, so every overlap is an integer and a
  // destination pixel's overlaps sum to its source extent.
  // Horizontal: destination pixel j covers source pixels first_[j] ..
  // first_[j] + count_[j] - 1, the outer two by wFirst_[j] and wLast_[j],
  // the ones between fully (dstW).
  std::vector<std::int32_t> first_, count_;
  std::vector<std::uint32_t> wFirst_, wLast_;

  // Vertical sums of the destination row being built, per source sample:
  // source rows lying wholly inside it are summed plainly (full_, weighed by
  // dstH when the row is finished), rows cut by its edges with their overlap
  // (partial_). Both stay below 255 * 65535.
  // The plain sum runs in 16 bits (a third of the memory traffic of 32) and
  // spills into full_ before 257 rows could overflow it.
  std::vector<std::uint16_t> full16_;
  int full16Rows_ = 0;
  std::vector<std::uint32_t> full_;
  bool fullSpilled_ = false;  // full_ holds rows of the row being built
  std::vector<std::uint32_t> partial_;
  bool anyFull_ = false;
  void spill();
  // The finished vertical sums, made in one pass that also clears the
  // accumulators; the horizontal pass reads them.
  std::vector<std::uint32_t> sums_;
  bool narrowSums_ = false;
  std::vector<std::uint8_t> out_;
  std::uint8_t uniform_[3] = {0, 0, 0};
  std::uint64_t divisor_ = 1;  // srcW * srcH: the area of one destination pixel
  double inverse_ = 1.0;
  std::uint64_t magic_ = 0;  // for divide(); 0 where it does not apply
  int srcRow_ = 0;  // source rows consumed
  int dstRow_ = 0;  // destination row being built
};

}  // namespace trimbrel
