// Area-averaging resampler that streams rows: every destination pixel is the
// coverage-weighted mean of the source pixels its area covers, for shrinking
// and enlarging alike, and equal sizes copy pixels unchanged. The batch engine
// feeds decoder rows straight in, so a large photo never exists as a whole
// canvas; the drawing surface's smooth stretch runs through the same class,
// so the same rows give the same pixels on either road.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace trimbrel {

class AreaResampler {
 public:
  // Destination rows are handed over top-down, dstWidth*3 bytes B,G,R each.
  using RowSink = std::function<void(int dstRow, const std::uint8_t* bgr)>;

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
  void horizontalPass(const std::uint8_t* bgr);
  // Adds source rows [firstRow, firstRow + count) whose horizontal result is
  // already in hrow_ to the vertical accumulator, emitting finished rows.
  void accumulate(int count);
  void emit();

  int srcW_ = 0, srcH_ = 0, dstW_ = 0, dstH_ = 0;
  RowSink sink_;
  bool ok_ = false;

  // Horizontal coverage: destination pixel j takes srcCount_[j] source pixels
  // from srcFirst_[j], with weights from weights_ starting at weightStart_[j]
  // summing to exactly 1 << kHorizontalBits.
  std::vector<std::int32_t> srcFirst_, srcCount_, weightStart_;
  std::vector<std::uint16_t> weights_;

  std::vector<std::uint32_t> hrow_;  // horizontal result, 8 fraction bits
  std::vector<std::uint32_t> acc_;   // vertical accumulator, 24 fraction bits
  std::vector<std::uint8_t> out_;
  int srcRow_ = 0;  // source rows consumed
  int dstRow_ = 0;  // destination row being accumulated
};

}  // namespace trimbrel
