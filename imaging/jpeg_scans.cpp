#include "imaging/jpeg_scans.hpp"

#include <algorithm>
#include <cstring>

#include "platform/platform.hpp"

namespace trimbrel {
namespace {

constexpr std::uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA;
constexpr std::uint8_t kSofProgressive = 0xC2, kSofProgressiveArithmetic = 0xCA;

struct Sampling {
  std::uint8_t id = 0;
  int h = 0, v = 0;
};

bool IsRestart(std::uint8_t marker) { return marker >= 0xD0 && marker <= 0xD7; }

// Position of the next marker at or after `from` in entropy-coded data:
// a 0xFF that is neither stuffing (0xFF 0x00) nor a restart marker. The
// search runs over all of a file's entropy data, twice before a progressive
// file is decoded, so it goes through memchr, which scans many bytes a step.
std::size_t NextMarker(std::span<const std::uint8_t> data, std::size_t from) {
  for (std::size_t i = from; i + 1 < data.size();) {
    const void* hit = std::memchr(data.data() + i, 0xFF, data.size() - i);
    if (hit == nullptr) break;
    i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data.data());
    if (i + 1 >= data.size()) break;
    const std::uint8_t next = data[i + 1];
    if (next == 0x00 || IsRestart(next)) {
      i += 2;
    } else if (next == 0xFF) {
      i += 1;  // fill byte before a marker
    } else {
      return i;
    }
  }
  return data.size();
}

struct Segment {
  std::uint8_t marker = 0;
  std::size_t start = 0;       // at the marker's 0xFF
  std::size_t segmentEnd = 0;  // past the length-counted part
  std::size_t end = 0;         // past a scan's entropy-coded data; else segmentEnd
};

// Hands every segment after SOI to `visit` (which returns a Result<bool>:
// false stops the walk), up to EOI. Fails when the stream ends before EOI.
template <class Visit>
Result<void> ForEachSegment(std::span<const std::uint8_t> jpeg, Visit visit) {
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != kSoi) return Fail("damaged: not a JPEG stream");
  std::size_t pos = 2;
  for (;;) {
    // Markers may be preceded by any number of fill bytes.
    while (pos + 1 < jpeg.size() && jpeg[pos] == 0xFF && jpeg[pos + 1] == 0xFF) ++pos;
    if (pos + 1 >= jpeg.size() || jpeg[pos] != 0xFF) return Fail("damaged: JPEG data ends early");
    Segment segment;
    segment.marker = jpeg[pos + 1];
    segment.start = pos;
    if (segment.marker == kEoi) return {};
    ByteReader reader(jpeg.subspan(pos + 2));
    auto high = reader.u8();
    auto low = reader.u8();
    if (!high || !low) return Fail("damaged: JPEG data ends early");
    const std::size_t length = (std::size_t{*high} << 8) | *low;
    if (length < 2 || pos + 2 + length > jpeg.size()) return Fail("damaged: JPEG data ends early");
    segment.segmentEnd = segment.end = pos + 2 + length;
    if (segment.marker == kSos) {
      segment.end = NextMarker(jpeg, segment.segmentEnd);
      if (segment.end >= jpeg.size()) return Fail("damaged: JPEG data ends early");
    }
    TRIMBREL_TRY_ASSIGN(const bool more, visit(segment));
    if (!more) return {};
    pos = segment.end;
  }
}

}  // namespace

Result<std::vector<std::uint8_t>> KeepDcScansOnly(std::span<const std::uint8_t> jpeg) {
  std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + std::min<std::size_t>(2, jpeg.size()));
  out.reserve(jpeg.size() / 8);
  // libjpeg scales a subsampled component's IDCT up instead of upsampling
  // it, and that larger IDCT reads AC coefficients: only the AC scans of
  // full-resolution components may go.
  std::vector<Sampling> components;
  int maxH = 0, maxV = 0;
  auto walked = ForEachSegment(jpeg, [&](const Segment& segment) -> Result<bool> {
    const std::size_t pos = segment.start;
    const std::uint8_t marker = segment.marker;
    bool keep = true;
    const bool frameHeader = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frameHeader && marker != kSofProgressive && marker != kSofProgressiveArithmetic) {
      return Fail("not a progressive JPEG");  // every scan of a sequential file holds AC data
    }
    if (marker == kSofProgressive || marker == kSofProgressiveArithmetic) {
      // Frame header: precision, height, width, component count, then 3 bytes each.
      const std::size_t count = pos + 9 < segment.segmentEnd ? jpeg[pos + 9] : 0;
      if (count == 0 || pos + 10 + 3 * count > segment.segmentEnd) return Fail("damaged: JPEG frame header");
      for (std::size_t c = 0; c < count; ++c) {
        const std::uint8_t factors = jpeg[pos + 11 + 3 * c];
        components.push_back({jpeg[pos + 10 + 3 * c], factors >> 4, factors & 15});
        maxH = std::max(maxH, factors >> 4);
        maxV = std::max(maxV, factors & 15);
      }
    } else if (marker == kSos) {
      if (components.empty()) return Fail("damaged: JPEG scan before its frame header");
      // Scan header: component count, two bytes per component, then Ss.
      const std::size_t count = jpeg[pos + 4];
      const std::size_t ssAt = pos + 5 + 2 * count;
      if (ssAt >= segment.segmentEnd) return Fail("damaged: JPEG scan header");
      if (jpeg[ssAt] != 0) {
        // An AC scan: progressive AC scans hold exactly one component.
        const std::uint8_t id = jpeg[pos + 5];
        auto c = std::find_if(components.begin(), components.end(), [id](const Sampling& s) { return s.id == id; });
        keep = c == components.end() || count != 1 || c->h != maxH || c->v != maxV;
      }
    }
    if (keep) out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(pos), jpeg.begin() + static_cast<std::ptrdiff_t>(segment.end));
    return true;
  });
  if (!walked) return walked.error();
  out.push_back(0xFF);
  out.push_back(kEoi);
  return out;
}

std::size_t CountJpegScans(std::span<const std::uint8_t> jpeg, std::size_t atMost) {
  return CountJpegScanWork(jpeg, {}, atMost, 1).scans;
}

ScanWork CountJpegScanWork(std::span<const std::uint8_t> jpeg, std::span<const ComponentBlocks> blocksOf,
                           std::size_t maxScans, std::uint64_t maxVisits) {
  ScanWork work;
  (void)ForEachSegment(jpeg, [&](const Segment& segment) -> Result<bool> {
    if (segment.marker != kSos) return true;
    ++work.scans;
    // Scan header: length, component count, then id and tables per component.
    const std::size_t count = jpeg[segment.start + 4];
    if (segment.start + 5 + 2 * count > segment.segmentEnd) return false;
    for (std::size_t c = 0; c < count; ++c) {
      const std::uint8_t id = jpeg[segment.start + 5 + 2 * c];
      for (const ComponentBlocks& component : blocksOf) {
        if (component.id == id) work.visits += component.blocks;
      }
    }
    return work.scans < maxScans && work.visits < maxVisits;
  });
  return work;
}

}  // namespace trimbrel
