#include "imaging/jpeg_reader.hpp"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "imaging/exif_orientation.hpp"
#include "imaging/jpeg_scans.hpp"

namespace trimbrel {
namespace {

// libjpeg's own memory (coefficient buffers of progressive files): beyond
// this it fails with "no backing store" instead of exhausting the machine.
// A progressive photo is refused before that, when its coefficients need more
// than this or half of the memory the system has free.
constexpr std::uint64_t kMaxLibjpegMemory = std::uint64_t{1} << 30;
// A progressive file can carry thousands of tiny scans, each a full pass.
constexpr std::size_t kMaxScans = 500;
// Each scan passes over every block of its components, and with end-of-band
// runs a pass over millions of blocks takes a few bytes. Real photos pass
// over their blocks 4 to 10 times (libjpeg's own script: under 5); beyond
// kFreePasses the passes must be paid for by the bytes of the file, so that
// no small file can hold a decoder busy for long.
constexpr std::uint64_t kFreePasses = 16;
constexpr std::uint64_t kVisitsPerByte = 8;
constexpr std::uint64_t kFreeVisits = std::uint64_t{1} << 22;

// Everything libjpeg may jump out of lives in plain structs: no destructor
// is ever skipped by longjmp. Each setjmp sits in a small function that
// holds no C++ objects, so the jump never crosses a live C++ frame.
struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

// The bytes of a file read as it decodes: first the part the caller has
// read already, then the rest of the file a block at a time.
constexpr std::size_t kStreamBlockBytes = 64 * 1024;

struct FileSource {
  jpeg_source_mgr pub;
  const std::uint8_t* head;
  std::size_t headSize;
  bool headGiven;
  InputFile* file;
  std::uint8_t* block;  // kStreamBlockBytes
};

struct JpegSession {
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
  jpeg_progress_mgr progress;
  FileSource stream;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, error->message);
  std::longjmp(error->jump, 1);
}

// Corrupt entropy data or a progression that contradicts itself. In a
// progressive file every later scan builds on what such a warning spoilt,
// and the decoder would go on through all of them for a picture of grey.
bool SpoilsProgression(int code) {
  switch (code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_TOO_MUCH_DATA: return true;
    default: return false;
  }
}

void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  // Truncated data would otherwise decode as grey rows and pass as success.
  if (cinfo->err->msg_code == JWRN_JPEG_EOF) OnError(cinfo);
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->progressive_mode && SpoilsProgression(cinfo->err->msg_code)) {
    OnError(cinfo);
  }
  cinfo->err->num_warnings++;
}

void OnProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (static_cast<std::size_t>(d->input_scan_number) > kMaxScans) {
    auto* error = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    std::snprintf(error->message, sizeof error->message, "more than %zu scans", kMaxScans);
    std::longjmp(error->jump, 1);
  }
}

void StreamInit(j_decompress_ptr) {}
void StreamTerm(j_decompress_ptr) {}

// Holds no C++ object across the read, so the error path's longjmp skips no
// destructor; a failed read ends the data like the end of the file does.
std::size_t ReadBlock(FileSource* src) {
  auto got = src->file->read(src->block, kStreamBlockBytes);
  return got ? got.value() : 0;
}

boolean StreamFill(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<FileSource*>(cinfo->src);
  if (!src->headGiven) {
    src->headGiven = true;
    if (src->headSize > 0) {
      src->pub.next_input_byte = src->head;
      src->pub.bytes_in_buffer = src->headSize;
      return TRUE;
    }
  }
  const std::size_t got = ReadBlock(src);
  if (got == 0) {
    // As libjpeg's own sources do: warn (which ends the decode here) and
    // give an end-of-image marker for the decoder to stop at.
    static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->pub.next_input_byte = kEnd;
    src->pub.bytes_in_buffer = 2;
    return TRUE;
  }
  src->pub.next_input_byte = src->block;
  src->pub.bytes_in_buffer = got;
  return TRUE;
}

void StreamSkip(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr* src = cinfo->src;
  if (count <= 0) return;
  while (static_cast<std::size_t>(count) > src->bytes_in_buffer) {
    count -= static_cast<long>(src->bytes_in_buffer);
    StreamFill(cinfo);
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

bool SessionOpen(JpegSession* s, const std::uint8_t* data, std::size_t size, InputFile* rest,
                 std::uint8_t* block) {
  std::memset(s, 0, sizeof *s);
  s->cinfo.err = jpeg_std_error(&s->error.pub);
  s->error.pub.error_exit = OnError;
  s->error.pub.emit_message = OnMessage;
  if (setjmp(s->error.jump)) return false;
  jpeg_create_decompress(&s->cinfo);
  s->cinfo.mem->max_memory_to_use = static_cast<long>(kMaxLibjpegMemory);
  s->progress.progress_monitor = OnProgress;
  s->cinfo.progress = &s->progress;
  if (rest) {
    FileSource& src = s->stream;
    src.pub.init_source = StreamInit;
    src.pub.fill_input_buffer = StreamFill;
    src.pub.skip_input_data = StreamSkip;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = StreamTerm;
    src.head = data;
    src.headSize = size;
    src.file = rest;
    src.block = block;
    s->cinfo.src = &src.pub;
  } else {
    jpeg_mem_src(&s->cinfo, data, static_cast<unsigned long>(size));
  }
  jpeg_save_markers(&s->cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&s->cinfo, TRUE);
  return true;
}

bool SessionPrepare(JpegSession* s, int scaleDenom, J_COLOR_SPACE out) {
  if (setjmp(s->error.jump)) return false;
  // Smoothing only guesses at AC coefficients a stream lacks; with the AC
  // scans left out on purpose it must not touch what the DC scans say.
  s->cinfo.do_block_smoothing = FALSE;
  s->cinfo.scale_num = 1;
  s->cinfo.scale_denom = static_cast<unsigned>(scaleDenom);
  s->cinfo.out_color_space = out;
  jpeg_calc_output_dimensions(&s->cinfo);
  return true;
}

bool SessionStart(JpegSession* s) {
  if (setjmp(s->error.jump)) return false;
  jpeg_start_decompress(&s->cinfo);
  return true;
}

bool SessionReadRow(JpegSession* s, std::uint8_t* row) {
  if (setjmp(s->error.jump)) return false;
  JSAMPROW rows[1] = {row};
  return jpeg_read_scanlines(&s->cinfo, rows, 1) == 1;
}

bool SessionFinish(JpegSession* s) {
  if (setjmp(s->error.jump)) return false;
  jpeg_finish_decompress(&s->cinfo);
  return true;
}

void SessionClose(JpegSession* s) { jpeg_destroy_decompress(&s->cinfo); }

struct SessionCloser {
  void operator()(JpegSession* s) const {
    SessionClose(s);
    delete s;
  }
};
using SessionPtr = std::unique_ptr<JpegSession, SessionCloser>;

Error Damaged(const JpegSession& s) {
  return Fail(std::string("damaged: ") + (s.error.message[0] ? s.error.message : "JPEG data"));
}

// `rest`, when given, is the file the bytes came from, positioned after
// them, and `block` a buffer of kStreamBlockBytes to read the rest into.
Result<SessionPtr> OpenSession(std::span<const std::uint8_t> bytes, InputFile* rest = nullptr,
                               std::uint8_t* block = nullptr) {
  if (bytes.empty() && !rest) return Fail("damaged: empty JPEG data");
  SessionPtr session(new JpegSession());
  if (!SessionOpen(session.get(), bytes.data(), bytes.size(), rest, block)) {
    // libjpeg stops at 65500 a side; say so in the words every reader uses.
    if (session->error.pub.msg_code == JERR_IMAGE_TOO_BIG) {
      TRIMBREL_TRY(CheckPictureSize(session->cinfo.image_width, session->cinfo.image_height));
    }
    return Damaged(*session);
  }
  return session;
}

int OrientationOf(const jpeg_decompress_struct& cinfo) {
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
    if (m->marker != JPEG_APP0 + 1) continue;
    int o = ExifOrientation({m->data, m->data_length});
    if (o != 1) return o;
  }
  return 1;
}

std::uint64_t RoundUp(std::uint64_t n, std::uint64_t multiple) {
  return multiple == 0 ? n : (n + multiple - 1) / multiple * multiple;
}

// libjpeg's whole-image coefficient buffer: each component's blocks,
// padded to whole MCU rows and columns, 64 coefficients of 2 bytes each.
std::uint64_t CoefficientBytesOf(const jpeg_decompress_struct& cinfo) {
  if (!cinfo.progressive_mode) return 0;
  std::uint64_t blocks = 0;
  for (int c = 0; c < cinfo.num_components; ++c) {
    const jpeg_component_info& comp = cinfo.comp_info[c];
    blocks += RoundUp(comp.width_in_blocks, static_cast<std::uint64_t>(comp.h_samp_factor)) *
              RoundUp(comp.height_in_blocks, static_cast<std::uint64_t>(comp.v_samp_factor));
  }
  return blocks * sizeof(JBLOCK);
}

JpegInfo InfoOf(const jpeg_decompress_struct& cinfo) {
  JpegInfo info;
  info.orientation = OrientationOf(cinfo);
  const bool swap = OrientationSwapsAxes(info.orientation);
  info.width = static_cast<int>(swap ? cinfo.image_height : cinfo.image_width);
  info.height = static_cast<int>(swap ? cinfo.image_width : cinfo.image_height);
  info.components = cinfo.num_components;
  info.progressive = cinfo.progressive_mode != 0;
  info.coefficientBytes = CoefficientBytesOf(cinfo);
  return info;
}

std::string Megabytes(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB"; }

// The passes a progressive file asks for, against what its size can mean.
Result<void> CheckScanWork(const jpeg_decompress_struct& cinfo, std::span<const std::uint8_t> bytes) {
  ComponentBlocks components[MAX_COMPONENTS];
  std::uint64_t blocks = 0;
  const int count = std::min(cinfo.num_components, MAX_COMPONENTS);
  for (int c = 0; c < count; ++c) {
    const jpeg_component_info& comp = cinfo.comp_info[c];
    components[c] = {static_cast<std::uint8_t>(comp.component_id),
                     std::uint64_t{comp.width_in_blocks} * comp.height_in_blocks};
    blocks += components[c].blocks;
  }
  const std::uint64_t allowed = kFreePasses * blocks + kVisitsPerByte * bytes.size() + kFreeVisits;
  const ScanWork work =
      CountJpegScanWork(bytes, std::span<const ComponentBlocks>(components, static_cast<std::size_t>(count)),
                        kMaxScans + 1, allowed + 1);
  if (work.scans > kMaxScans) return Fail("damaged: more than " + std::to_string(kMaxScans) + " scans");
  if (work.visits > allowed) {
    return Fail("damaged: its scans pass over the picture more than " + std::to_string(allowed / std::max<std::uint64_t>(blocks, 1)) +
                " times, too often for a file of " + std::to_string(bytes.size()) + " bytes");
  }
  return {};
}

// Where the decoder puts a shown row: straight into the caller's memory for
// the Jpeg picture, or into one reused row for a streaming sink.
class RowTarget {
 public:
  virtual ~RowTarget() = default;
  // Before the decoder reads anything beyond the header.
  virtual Result<void> allows(int width, int height) = 0;
  virtual Result<void> begin(int width, int height) = 0;
  virtual std::uint8_t* rowBuffer(int y) = 0;  // width*3 bytes B,G,R
  virtual void rowDone(int y) = 0;
};

// Adobe writes CMYK inverted (0 = full ink) and says so in its APP14 marker.
void CmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
    bgr[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
    bgr[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
  }
}

// `bytes` are the whole file, or with `rest` its first bytes, the rest to be
// read from `rest` (sequential files only).
Result<void> DecodeInto(std::span<const std::uint8_t> bytes, int scaleDenom, RowTarget& target,
                        InputFile* rest = nullptr) {
  if (scaleDenom != 1 && scaleDenom != 2 && scaleDenom != 4 && scaleDenom != 8) {
    return Fail("damaged: scale must be 1/1, 1/2, 1/4 or 1/8");
  }
  std::vector<std::uint8_t> block(rest ? kStreamBlockBytes : 0);  // outlives the session
  TRIMBREL_TRY_ASSIGN(const SessionPtr opened, OpenSession(bytes, rest, block.data()));
  JpegSession& s = *opened;
  jpeg_decompress_struct& cinfo = s.cinfo;
  const std::uint64_t fileSize = rest ? rest->size() : bytes.size();

  const JpegInfo facts = InfoOf(cinfo);
  TRIMBREL_TRY(target.allows(facts.width, facts.height));
  // Counted from the markers, so that such a file is refused before libjpeg
  // makes its first pass; the progress monitor stays as the last guard.
  if (cinfo.progressive_mode) {
    if (rest) return Fail("damaged: a progressive JPEG is decoded from all of its bytes");
    TRIMBREL_TRY(CheckScanWork(cinfo, bytes));
  }
  TRIMBREL_TRY(CheckJpegStreamMemory(facts, scaleDenom));
  // A sequential Huffman scan spends at least two bits on every block, so a
  // file this short cannot hold the rows its header claims.
  if (!cinfo.progressive_mode && !cinfo.arith_code) {
    std::uint64_t blocks = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
      blocks += std::uint64_t{cinfo.comp_info[c].width_in_blocks} * cinfo.comp_info[c].height_in_blocks;
    }
    if (blocks > 4 * fileSize) return Fail("damaged: JPEG data ends early");
  }

  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  J_COLOR_SPACE out = JCS_EXT_BGR;
  if (cmyk) {
    out = JCS_CMYK;
  } else if (cinfo.jpeg_color_space != JCS_GRAYSCALE && cinfo.jpeg_color_space != JCS_YCbCr &&
             cinfo.jpeg_color_space != JCS_RGB) {
    return Fail("damaged: unsupported JPEG colour space");
  }
  const int orientation = facts.orientation;
  if (!SessionPrepare(&s, scaleDenom, out)) return Damaged(s);
  const int storedWidth = static_cast<int>(cinfo.output_width);
  const int storedHeight = static_cast<int>(cinfo.output_height);
  const bool swap = OrientationSwapsAxes(orientation);
  const int width = swap ? storedHeight : storedWidth;
  const int height = swap ? storedWidth : storedHeight;
  // A progressive file is read whole here, so a truncated one fails before
  // the caller allocates anything for its rows.
  if (!SessionStart(&s)) return Damaged(s);
  TRIMBREL_TRY(target.begin(width, height));

  const std::size_t bgrRow = static_cast<std::size_t>(storedWidth) * 3;
  std::vector<std::uint8_t> cmykRow(cmyk ? static_cast<std::size_t>(storedWidth) * 4 : 0);
  // One stored row as B,G,R into `dest`.
  auto readRow = [&](std::uint8_t* dest) {
    if (!cmyk) return SessionReadRow(&s, dest);
    if (!SessionReadRow(&s, cmykRow.data())) return false;
    CmykToBgr(cmykRow.data(), dest, storedWidth, cinfo.saw_Adobe_marker);
    return true;
  };

  if (orientation == 1 || orientation == 2) {
    std::vector<std::uint8_t> scratch(orientation == 2 ? bgrRow : 0);
    for (int y = 0; y < height; ++y) {
      std::uint8_t* dest = target.rowBuffer(y);
      if (orientation == 1) {
        if (!readRow(dest)) return Damaged(s);
      } else {
        if (!readRow(scratch.data())) return Damaged(s);
        for (int x = 0; x < width; ++x) {
          std::memcpy(dest + 3 * static_cast<std::size_t>(x), scratch.data() + 3 * static_cast<std::size_t>(width - 1 - x), 3);
        }
      }
      target.rowDone(y);
    }
  } else {
    // Turning or flipping needs the whole stored picture first.
    std::vector<std::uint8_t> stored(bgrRow * static_cast<std::size_t>(storedHeight));
    for (int y = 0; y < storedHeight; ++y) {
      if (!readRow(stored.data() + bgrRow * static_cast<std::size_t>(y))) return Damaged(s);
    }
    for (int y = 0; y < height; ++y) {
      std::uint8_t* dest = target.rowBuffer(y);
      for (int x = 0; x < width; ++x) {
        StoredPixel from = OrientedSource(orientation, x, y, storedWidth, storedHeight);
        std::memcpy(dest + 3 * static_cast<std::size_t>(x),
                    stored.data() + bgrRow * static_cast<std::size_t>(from.y) + 3 * static_cast<std::size_t>(from.x), 3);
      }
      target.rowDone(y);
    }
  }
  if (!SessionFinish(&s)) return Damaged(s);
  return {};
}

class PictureTarget final : public RowTarget {
 public:
  explicit PictureTarget(Picture& picture) : picture_(picture) {}
  Result<void> allows(int width, int height) override { return CheckPictureSize(width, height); }
  Result<void> begin(int width, int height) override {
    TRIMBREL_TRY(CheckPictureSize(width, height));
    picture_.kind = PictureKind::Jpeg;
    picture_.width = width;
    picture_.height = height;
    rowBytes_ = static_cast<std::size_t>(width) * 3;
    picture_.pixels.resize(rowBytes_ * static_cast<std::size_t>(height));
    return {};
  }
  // A Jpeg picture is stored bottom-up: each shown row goes straight to its place.
  std::uint8_t* rowBuffer(int y) override {
    return picture_.pixels.data() + rowBytes_ * static_cast<std::size_t>(picture_.height - 1 - y);
  }
  void rowDone(int) override {}

 private:
  Picture& picture_;
  std::size_t rowBytes_ = 0;
};

class SinkTarget final : public RowTarget {
 public:
  explicit SinkTarget(RowStreamSink& sink) : sink_(sink) {}
  // Only rows exist at a time; whatever else is held whole was checked.
  Result<void> allows(int, int) override { return {}; }
  Result<void> begin(int width, int height) override {
    if (!sink_.begin(width, height)) return Fail("stopped");
    row_.resize(static_cast<std::size_t>(width) * 3);
    return {};
  }
  std::uint8_t* rowBuffer(int) override { return row_.data(); }
  void rowDone(int y) override { sink_.row(y, row_.data()); }

 private:
  RowStreamSink& sink_;
  std::vector<std::uint8_t> row_;
};

}  // namespace

Result<JpegInfo> ReadJpegInfo(std::span<const std::uint8_t> bytes) {
  TRIMBREL_TRY_ASSIGN(auto opened, OpenSession(bytes));
  return InfoOf(opened->cinfo);
}

Result<void> CheckJpegStreamMemory(const JpegInfo& info, int scaleDenom) {
  if (info.coefficientBytes > 0) {
    const std::uint64_t half = AvailableMemory() / 2;
    const std::uint64_t limit = half == 0 ? kMaxLibjpegMemory : std::min(half, kMaxLibjpegMemory);
    if (info.coefficientBytes > limit) {
      return Fail("too large: " + std::to_string(info.width) + " × " + std::to_string(info.height) +
                  " progressive JPEG needs " + Megabytes(info.coefficientBytes) + " to decode, more than " +
                  Megabytes(limit));
    }
  }
  // Turning or flipping upside down holds the decoded photo whole.
  if (info.orientation > 2 && scaleDenom > 0) {
    TRIMBREL_TRY(CheckPictureSize((std::int64_t{info.width} + scaleDenom - 1) / scaleDenom,
                                  (std::int64_t{info.height} + scaleDenom - 1) / scaleDenom));
  }
  return {};
}

Result<void> DecodeJpegRows(std::span<const std::uint8_t> bytes, int scaleDenom, RowStreamSink& sink) {
  SinkTarget target(sink);
  if (scaleDenom == 8) {
    // Each output pixel comes from one block's DC coefficient, which the DC
    // scans alone hold in full: the pixels are the same, for a fraction of
    // the work. Anything the filter does not take (a sequential file, a cut
    // or odd one) is left to libjpeg whole, which gives its own verdict.
    auto dcOnly = KeepDcScansOnly(bytes);
    if (dcOnly) return DecodeInto(dcOnly.value(), scaleDenom, target);
  }
  return DecodeInto(bytes, scaleDenom, target);
}

Result<void> DecodeJpegRows(std::span<const std::uint8_t> head, InputFile& file, int scaleDenom,
                            RowStreamSink& sink) {
  SinkTarget target(sink);
  return DecodeInto(head, scaleDenom, target, &file);
}

Result<Picture> DecodeJpeg(std::span<const std::uint8_t> bytes) {
  Picture picture;
  PictureTarget target(picture);
  TRIMBREL_TRY(DecodeInto(bytes, 1, target));
  return picture;
}

}  // namespace trimbrel
