// The batch run through its host interface: output names, formats, the
// results folder, failures reported per photo, refusals and workers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <thread>

#include "app/batch_run.hpp"
#include "app/jobs.hpp"
#include "app/trim_engine.hpp"
#include "imaging/imaging.hpp"
#include "photo_fixtures.hpp"
#include "refusal_text.hpp"

namespace trimbrel {
namespace {

namespace fs = std::filesystem;
using testing::RefusalText;
using testing::TempDir;

class RecordingHost : public BatchHost {
 public:
  explicit RecordingHost(TrimSettings settings = {}) : settings(std::move(settings)) {}
  TrimSettings readTrimSettings() override {
    ++settingsReads;
    return settings;
  }
  void photoStarted(int total, int index, const std::string& fileName) override {
    captions.push_back(std::to_string(total) + "/" + std::to_string(index) + ":" + fileName);
  }
  void photoFinished(int, int index, const PhotoReport& report) override {
    finishedOrder.push_back(index);
    outputs.push_back(report.output);
  }
  void runFinished(const BatchReport& report) override { finishedFolder = report.folder; }
  void runRefused(const std::string& message) override { refusals.push_back(message); }

  TrimSettings settings;
  int settingsReads = 0;
  std::vector<std::string> captions, outputs, refusals;
  std::vector<int> finishedOrder;
  std::string finishedFolder;
};

TrimSettings Pixels(int width, int height, OutputFormat format) {
  TrimSettings s;
  s.widthText = std::to_string(width);
  s.heightText = std::to_string(height);
  s.unit = Unit::Pixel;
  s.format = format;
  return s;
}

const std::string kResults = "修剪结果";

using Bytes = std::vector<std::uint8_t>;

void PutLe(Bytes& b, std::size_t at, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

Bytes PngHeader(std::uint32_t width, std::uint32_t height) {
  Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (std::uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
  b.insert(b.end(), {8, 2, 0, 0, 0, 0, 0, 0, 0});  // 8-bit RGB, then the CRC
  return b;
}

// Files that are no more than a header claiming `width` × `height`, one of
// each kind that is drawn on the surface.
std::vector<std::pair<std::string, Bytes>> HeadersOnly(std::uint32_t width, std::uint32_t height) {
  Bytes bmp(54, 0);
  bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40, bmp[26] = 1, bmp[28] = 24;
  PutLe(bmp, 18, width, 4);
  PutLe(bmp, 22, height, 4);
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0x3B};
  PutLe(gif, 6, width, 2);
  PutLe(gif, 8, height, 2);
  Bytes pcx(129, 0);
  pcx[0] = 0x0A, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[65] = 3;
  PutLe(pcx, 8, width - 1, 2);
  PutLe(pcx, 10, height - 1, 2);
  PutLe(pcx, 66, width, 2);
  Bytes ico = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 22, 0, 0, 0};
  const Bytes inner = PngHeader(width, height);
  PutLe(ico, 14, static_cast<std::uint32_t>(inner.size()), 4);
  ico.insert(ico.end(), inner.begin(), inner.end());
  return {{"png", PngHeader(width, height)}, {"bmp", bmp}, {"gif", gif}, {"pcx", pcx}, {"ico", ico}};
}

// The window's format selection gives the extension and the kind of file
// written; a selection outside its list (a damaged stored state) writes JPG.
TEST(Batch, FormatSelectionGivesExtensionAndKind) {
  TempDir dir;
  const std::string photo = dir / "p.jpg";
  testing::WriteJpeg(photo, 40, 30, testing::PhotoLike(40, 30));
  const std::string jpeg = "\xFF\xD8\xFF";
  struct Case {
    std::int32_t selection;
    std::string extension;
    std::string magic;
  };
  const Case cases[] = {{0, "bmp", "BM"},   {1, "jpg", jpeg},
                        {2, "gif", "GIF8"}, {3, "tiff", std::string("II*\0", 4)},
                        {4, "png", "\x89PNG"}, {-1, "jpg", jpeg},
                        {5, "jpg", jpeg}};
  for (const Case& c : cases) {
    SCOPED_TRACE("selection " + std::to_string(c.selection));
    RecordingHost host(Pixels(16, 12, FromSelectionIndex<OutputFormat>(c.selection)));
    BatchOptions options;
    options.outputFolder = dir / std::to_string(c.selection);
    BatchReport report = RunBatch({photo}, host, options);
    ASSERT_TRUE(report.allOk());
    EXPECT_EQ(report.photos[0].output, options.outputFolder + "/p." + c.extension);
    const Bytes bytes = testing::ReadFileBytes(report.photos[0].output);
    ASSERT_GE(bytes.size(), c.magic.size());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(c.magic.size())), c.magic);
  }
}

TEST(Batch, OutputNamesAndResultsFolder) {
  struct Case {
    std::vector<std::string> photos;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {{"/p/a.jpg", "/p/x.y.jpg", "/p/noext", "/p/.hidden"}, {"/o/a.tiff", "/o/x.y.tiff", "/o/noext.tiff", "/o/.tiff"}},
      // The later of two same names gets a number; a numbered name that is
      // itself taken moves on.
      {{"/p/a.jpg", "/q/a.png", "/p/a (2).jpg", "/r/a.bmp"},
       {"/o/a.tiff", "/o/a (2).tiff", "/o/a (2) (2).tiff", "/o/a (3).tiff"}},
      {{"/p/a.b/c", "/p/照片.1.jpg"}, {"/o/c.tiff", "/o/照片.1.tiff"}},
  };
  for (const Case& c : cases) EXPECT_EQ(AssignOutputNames(c.photos, "/o/", "tiff"), c.names) << c.photos[0];
  EXPECT_EQ(ResultsFolderFor("/home/u/photos/a.jpg"), "/home/u/photos/修剪结果/");
  EXPECT_EQ(ResultsFolderFor("a.jpg"), "修剪结果/");  // beside it in the current folder, not at the root
  EXPECT_EQ(ResultsFolderFor("/a.jpg"), "/修剪结果/");
  // A folder given is taken as it is, with the "/" the names are joined with.
  EXPECT_EQ(ResultsFolder("", "/home/u/photos/a.jpg"), "/home/u/photos/修剪结果/");
  EXPECT_EQ(ResultsFolder("out", "/home/u/photos/a.jpg"), "out/");
  EXPECT_EQ(ResultsFolder("/tmp/out/", "a.jpg"), "/tmp/out/");
}

TEST(Batch, WritesEveryPhotoBesideTheFirstWithProgress) {
  TempDir dir;
  fs::create_directories(dir.path() / "other");
  const std::string a = dir / "a.jpg";
  const std::string b = dir / "b.jpg";
  const std::string c = dir / "other/c.d.bmp";
  testing::WriteJpeg(a, 300, 400, testing::PhotoLike(300, 400));
  testing::WriteJpeg(b, 400, 300, testing::PhotoLike(400, 300));
  testing::WriteBmp24(c, 100, 100, testing::PhotoLike(100, 100));
  RecordingHost host(Pixels(30, 40, OutputFormat::PNG));
  host.settings.dpiText = "300";
  BatchReport report = RunBatch({a, b, c}, host);
  ASSERT_TRUE(report.allOk());
  EXPECT_EQ(host.settingsReads, 1);
  EXPECT_EQ(host.captions, (std::vector<std::string>{"3/1:a.jpg", "3/2:b.jpg", "3/3:c.d.bmp"}));
  const std::string folder = (dir.path() / kResults).string() + "/";
  EXPECT_EQ(report.folder, folder);
  EXPECT_EQ(host.finishedFolder, folder);
  EXPECT_EQ(host.outputs, (std::vector<std::string>{folder + "a.png", folder + "b.png", folder + "c.d.png"}));
  for (const std::string& out : host.outputs) {
    auto picture = DecodePictureFile(out);
    ASSERT_TRUE(picture) << out;
    EXPECT_EQ(picture.value().width, 30);
    EXPECT_EQ(picture.value().height, 40);
  }
  EXPECT_FALSE(fs::exists(dir.path() / "other" / kResults));
}

TEST(Batch, ReusesTheFolderAndReplacesEarlierFiles) {
  TempDir dir;
  const std::string a = dir / "a.jpg";
  testing::WriteJpeg(a, 64, 64, testing::PhotoLike(64, 64));
  RecordingHost first(Pixels(20, 20, OutputFormat::BMP));
  ASSERT_TRUE(RunBatch({a}, first).allOk());
  RecordingHost second(Pixels(10, 30, OutputFormat::BMP));
  BatchReport report = RunBatch({a}, second);
  ASSERT_TRUE(report.allOk());
  EXPECT_EQ(report.photos[0].output, report.folder + "a.bmp");  // replaced, not numbered
  testing::BmpImage image;
  ASSERT_TRUE(testing::ParseBmp24(testing::ReadFileBytes(report.photos[0].output), image));
  EXPECT_EQ(image.width, 10);
  EXPECT_EQ(image.height, 30);
  EXPECT_EQ(std::distance(fs::directory_iterator(report.folder), fs::directory_iterator()), 1);
}

// With the form defaults (2.6 × 3.2 cm at 150 DPI) the picture is 154 × 189
// pixels and says 150 DPI, so it prints 2.6 cm wide, whatever the format.
TEST(Batch, PicturesCarryTheDpiTheirPixelsWereCountedWith) {
  TempDir dir;
  const std::string photo = dir / "p.jpg";
  testing::WriteJpeg(photo, 300, 400, testing::PhotoLike(300, 400));
  auto be32 = [](const Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
           b[at + 3];
  };
  const std::uint32_t pixelsPerMetre = 5906;  // 150 × 39.37, rounded
  struct Case {
    OutputFormat format;
    std::function<std::uint32_t(const Bytes&)> stored;  // as written, in the format's own unit
    std::uint32_t expected;
  };
  const Case cases[] = {
      {OutputFormat::BMP,
       [](const Bytes& b) {
         testing::BmpImage image;
         return testing::ParseBmp24(b, image) ? static_cast<std::uint32_t>(image.xPelsPerMeter) : 0u;
       },
       pixelsPerMetre},
      // JFIF: APP0 "JFIF\0", version, unit 1 (dots per inch), X density.
      {OutputFormat::JPG, [](const Bytes& b) { return b[13] == 1 ? (std::uint32_t{b[14]} << 8 | b[15]) : 0u; }, 150},
      // pHYs: X pixels per unit, Y, unit 1 (metre).
      {OutputFormat::PNG,
       [&](const Bytes& b) {
         for (std::size_t i = 8; i + 17 < b.size(); i += 12 + be32(b, i)) {
           if (std::string(b.begin() + static_cast<std::ptrdiff_t>(i) + 4, b.begin() + static_cast<std::ptrdiff_t>(i) + 8) == "pHYs")
             return b[i + 16] == 1 ? be32(b, i + 8) : 0u;
         }
         return 0u;
       },
       pixelsPerMetre},
  };
  for (const Case& c : cases) {
    TrimSettings defaults;
    defaults.format = c.format;
    RecordingHost host(defaults);
    BatchReport report = RunBatch({photo}, host);
    ASSERT_TRUE(report.allOk());
    EXPECT_EQ(report.target.width, 154);
    EXPECT_EQ(report.target.height, 189);
    EXPECT_EQ(c.stored(testing::ReadFileBytes(report.photos[0].output)), c.expected) << report.photos[0].output;
  }
}

// An unreadable entry after a good one: its own background picture is
// written (never the previous photo), and the run says it failed.
TEST(Batch, UnreadableEntriesAreReportedWithTheirReason) {
  TempDir dir;
  const std::string good = dir / "good.jpg";
  const std::string text = dir / "notes.jpg";
  const std::string missing = dir / "missing.png";
  testing::WriteJpeg(good, 80, 60, testing::PhotoLike(80, 60));
  std::ofstream(text) << "not a picture at all\n";
  RecordingHost host(Pixels(16, 12, OutputFormat::BMP));
  BatchReport report = RunBatch({good, text, missing, dir.path().string()}, host);
  EXPECT_FALSE(report.allOk());
  ASSERT_EQ(report.photos.size(), 4u);
  EXPECT_TRUE(report.photos[0].ok());
  for (std::size_t i = 1; i < 4; ++i) {
    const PhotoReport& p = report.photos[i];
    SCOPED_TRACE(p.photo);
    EXPECT_FALSE(p.readError.empty());
    EXPECT_TRUE(p.written);
    testing::BmpImage image;
    ASSERT_TRUE(testing::ParseBmp24(testing::ReadFileBytes(p.output), image));
    ASSERT_EQ(image.pixels.size(), 16u * 12u);
    for (const auto& px : image.pixels) {
      ASSERT_EQ(px.r, 0xF0);
      ASSERT_EQ(px.g, 0xF0);
      ASSERT_EQ(px.b, 0xF0);
    }
  }
  EXPECT_EQ(report.photos[1].readError.rfind("unknown kind", 0), 0u) << report.photos[1].readError;
  EXPECT_EQ(report.photos[2].readError.rfind("cannot open", 0), 0u) << report.photos[2].readError;
  EXPECT_EQ(report.photos[3].readError.rfind("cannot open", 0), 0u) << report.photos[3].readError;
}

// A canvas the surface cannot hold is known from the header: a photo the
// drawing road would draw on it is refused for it before its data is read
// (here there is none to read), by the trim, the dry run and the job planner
// alike.
TEST(Batch, ACanvasTooLargeIsRefusedFromTheHeader) {
  TempDir dir;
  std::vector<std::string> photos;
  for (const auto& [kind, bytes] : HeadersOnly(16000, 16000)) {
    photos.push_back(dir / ("big." + kind));
    testing::WriteFileBytes(photos.back(), bytes);
  }
  RecordingHost host;  // 154 × 189: the canvas grows to 16000 × 19532
  BatchReport report = RunBatch(photos, host);
  ASSERT_EQ(report.photos.size(), photos.size());
  const std::string refusal = "too large: canvas of 16000 × 19532 pixels";
  for (std::size_t i = 0; i < photos.size(); ++i) {
    SCOPED_TRACE(photos[i]);
    EXPECT_EQ(report.photos[i].readError, refusal);
    auto plan = PlanPhoto(photos[i], report.target, FitBasis::Width);
    ASSERT_FALSE(plan);
    EXPECT_EQ(plan.error().reason, refusal);
    EXPECT_LT(EstimateTrimMemory(photos[i], report.target, FitBasis::Width, false), std::uint64_t{8} << 20);
  }
}

// The drawing road holds the decoded photo and its canvas whole, so what
// they need together is held against the memory that is free.
TEST(Batch, ADrawnPhotoMustFitTheFreeMemory) {
  const TargetSize target{154, 189};
  const PictureSize photo{6000, 4000};
  const Placement p = ComputePlacement(photo.width, photo.height, target, FitBasis::Width);
  // 96 MB of RGBA picture and a 6000 × 7350 canvas of 132.3 MB.
  const std::uint64_t need = 6000ull * 4000 * 4 + 18000ull * p.canvasHeight;
  const std::uint64_t mb = 1 << 20;
  EXPECT_EQ(RefusalText(DrawnRefusal(photo, p, 0)), "") << "unknown free memory";
  EXPECT_EQ(RefusalText(DrawnRefusal(photo, p, need)), "");
  EXPECT_EQ(RefusalText(DrawnRefusal(photo, p, 100 * mb)),
            "too large: 6000 × 4000 needs " + std::to_string((need + mb - 1) / mb) + " MB to draw, and 100 MB are free");
  // The canvas limit comes first, whatever the memory.
  const Placement huge = ComputePlacement(16000, 16000, target, FitBasis::Width);
  EXPECT_EQ(RefusalText(DrawnRefusal({16000, 16000}, huge, 1ull << 40)), RefusalText(CanvasRefusal(huge)));
}

// A JPEG's canvas is only ever streamed, so a canvas past the picture limit
// is no reason to refuse it: a 20000 × 1000 photo on a square target has a
// 20000 × 20000 canvas, mostly bands. A canvas side past what the resampler
// takes is refused from the header, as is a progressive file whose
// coefficients would not fit in memory.
TEST(Batch, AJpegCanvasIsLimitedByItsSidesNotItsArea) {
  TempDir dir;
  const std::string wide = dir / "wide.jpg";
  const std::string wideProgressive = dir / "wide-progressive.jpg";
  const auto halves = [](int x, int) { return x < 10000 ? testing::Rgb{200, 30, 30} : testing::Rgb{30, 30, 200}; };
  testing::WriteJpeg(wide, 20000, 1000, halves, {.quality = 60});
  testing::WriteJpeg(wideProgressive, 20000, 1000, halves, {.quality = 60, .progressive = true});
  RecordingHost host(Pixels(100, 100, OutputFormat::BMP));
  BatchReport report = RunBatch({wide, wideProgressive}, host);
  ASSERT_TRUE(report.allOk()) << report.photos[0].readError << report.photos[1].readError;
  for (const PhotoReport& photo : report.photos) {
    SCOPED_TRACE(photo.photo);
    EXPECT_GT(std::int64_t{photo.placement.canvasWidth} * photo.placement.canvasHeight, kMaxPicturePixels);
    auto plan = PlanPhoto(photo.photo, report.target, FitBasis::Width);
    EXPECT_TRUE(plan) << (plan ? "" : plan.error().reason);
    testing::BmpImage bmp;
    ASSERT_TRUE(testing::ParseBmp24(testing::ReadFileBytes(photo.output), bmp));
    ASSERT_EQ(bmp.width, 100);
    ASSERT_EQ(bmp.height, 100);
    // Bands above and below; the photo's two halves in the middle row.
    const testing::Rgb top = bmp.pixels[0], left = bmp.pixels[50 * 100 + 10], right = bmp.pixels[50 * 100 + 90];
    EXPECT_EQ(top.r, top.g) << "band colour, not photo";
    EXPECT_GT(left.r, 150);
    EXPECT_GT(right.b, 150);
  }
  // Headers patched to sizes that the tiny files cannot hold: they must be
  // refused for their size before anything is decoded.
  auto withFrameSize = [&](const std::string& name, bool progressive, int width, int height) {
    const std::string path = dir / name;
    testing::WriteJpeg(path, 16, 16, testing::PhotoLike(16, 16), {.progressive = progressive});
    auto bytes = testing::ReadFileBytes(path);
    for (std::size_t i = 0; i + 8 < bytes.size(); ++i) {
      if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
        bytes[i + 5] = static_cast<std::uint8_t>(height >> 8), bytes[i + 6] = static_cast<std::uint8_t>(height);
        bytes[i + 7] = static_cast<std::uint8_t>(width >> 8), bytes[i + 8] = static_cast<std::uint8_t>(width);
        break;
      }
    }
    testing::WriteFileBytes(path, bytes);
    return path;
  };
  const struct {
    std::string photo;
    TargetSize target;
    std::string refusal;
  } refused[] = {
      {withFrameSize("long.jpg", false, 60000, 100), {100, 1000}, "too large: canvas of 60000 × 598900 pixels"},
      {withFrameSize("huge.jpg", true, 40000, 40000), {1000, 1000},
       "too large: 40000 × 40000 progressive JPEG needs 4578 MB"},
  };
  for (const auto& c : refused) {
    const TargetSize& target = c.target;
    SCOPED_TRACE(c.photo);
    auto plan = PlanPhoto(c.photo, target, FitBasis::Width);
    ASSERT_FALSE(plan);
    EXPECT_EQ(plan.error().reason.rfind(c.refusal, 0), 0u) << plan.error().reason;
    TrimWorker worker(target, 0xC0C0C0);
    TrimOutcome outcome = worker.trim(c.photo, FitBasis::Width, false);
    EXPECT_EQ(outcome.readError, plan.error().reason);
    // A refused photo holds the job planner to its target buffers alone.
    EXPECT_LT(EstimateTrimMemory(c.photo, target, FitBasis::Width, false), std::uint64_t{16} << 20);
  }
}

// A photo that was trimmed once and can no longer be read keeps its result:
// the band colour alone never replaces a file, nor is it counted as written.
TEST(Batch, AnUnreadablePhotoKeepsAnEarlierResult) {
  TempDir dir;
  const std::string photo = dir / "p.jpg";
  const std::vector<std::pair<const char*, std::function<void()>>> spoilers = {
      {"gone", [] {}},
      {"a folder", [&] { fs::create_directory(photo); }},
      {"empty", [&] { std::ofstream(photo).flush(); }},
      {"text", [&] { std::ofstream(photo) << "no picture"; }},
      {"a FIFO", [&] { ASSERT_EQ(::mkfifo(photo.c_str(), 0600), 0); }},
  };
  for (const auto& [name, spoil] : spoilers) {
    SCOPED_TRACE(name);
    fs::remove_all(photo);
    testing::WriteJpeg(photo, 60, 80, testing::PhotoLike(60, 80));
    RecordingHost first(Pixels(12, 16, OutputFormat::BMP));
    BatchReport good = RunBatch({photo}, first);
    ASSERT_TRUE(good.allOk());
    const auto result = testing::ReadFileBytes(good.photos[0].output);
    fs::remove_all(photo);
    spoil();
    RecordingHost second(Pixels(12, 16, OutputFormat::BMP));
    BatchReport report = RunBatch({photo}, second);
    ASSERT_EQ(report.photos.size(), 1u);
    const PhotoReport& p = report.photos[0];
    EXPECT_FALSE(p.readError.empty());
    EXPECT_FALSE(p.written);
    EXPECT_TRUE(p.keptExisting);
    EXPECT_TRUE(p.writeError.empty()) << p.writeError;
    EXPECT_FALSE(report.allOk());
    EXPECT_EQ(testing::ReadFileBytes(p.output), result);
    EXPECT_EQ(std::distance(fs::directory_iterator(report.folder), fs::directory_iterator()), 1);
  }
}

TEST(Batch, SameNamesInOneRunDoNotOverwriteEachOther) {
  TempDir dir;
  fs::create_directories(dir.path() / "second");
  const std::string a = dir / "a.jpg";
  const std::string a2 = dir / "second/a.jpg";
  testing::WriteJpeg(a, 40, 40, testing::PhotoLike(40, 40, 1));
  testing::WriteBmp24(a2, 80, 20, testing::PhotoLike(80, 20, 2));
  RecordingHost host(Pixels(8, 8, OutputFormat::BMP));
  BatchReport report = RunBatch({a, a2}, host);
  ASSERT_TRUE(report.allOk());
  EXPECT_EQ(report.photos[0].output, report.folder + "a.bmp");
  EXPECT_EQ(report.photos[1].output, report.folder + "a (2).bmp");
  EXPECT_NE(testing::ReadFileBytes(report.photos[0].output), testing::ReadFileBytes(report.photos[1].output));
}

TEST(Batch, RefusedTargetsWriteNothing) {
  struct Case {
    const char* width;
    const char* height;
    Unit unit;
  };
  const Case cases[] = {{"0", "10", Unit::Pixel},      {"abc", "10", Unit::Pixel}, {"10", "-3", Unit::Pixel},
                        {"2,6", "", Unit::Centimetre}, {"65536", "1", Unit::Pixel}, {"20000", "20000", Unit::Pixel}};
  TempDir dir;
  const std::string a = dir / "a.jpg";
  testing::WriteJpeg(a, 16, 16, testing::PhotoLike(16, 16));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.width) + " x " + c.height);
    TrimSettings s;
    s.widthText = c.width;
    s.heightText = c.height;
    s.unit = c.unit;
    RecordingHost host(s);
    BatchReport report = RunBatch({a}, host);
    EXPECT_FALSE(report.refusal.empty());
    EXPECT_EQ(host.refusals, std::vector<std::string>{report.refusal});
    EXPECT_TRUE(host.captions.empty());
    EXPECT_FALSE(report.allOk());
    EXPECT_FALSE(fs::exists(dir.path() / kResults));
  }
}

TEST(Batch, EmptyListTellsNothing) {
  RecordingHost host;
  BatchReport report = RunBatch({}, host);
  EXPECT_TRUE(report.photos.empty());
  EXPECT_EQ(host.settingsReads, 0);
  EXPECT_TRUE(host.refusals.empty());
  EXPECT_TRUE(host.finishedFolder.empty());
}

TEST(Batch, UnwritableOutputsAreReportedPerPhoto) {
  TempDir dir;
  const std::string a = dir / "a.jpg";
  const std::string b = dir / "b.jpg";
  testing::WriteJpeg(a, 30, 30, testing::PhotoLike(30, 30));
  testing::WriteJpeg(b, 30, 30, testing::PhotoLike(30, 30));
  // A folder stands where b's picture would go; it must survive untouched.
  fs::create_directories(dir.path() / kResults / "b.jpg");
  RecordingHost host(Pixels(10, 10, OutputFormat::JPG));
  BatchReport report = RunBatch({a, b}, host);
  EXPECT_FALSE(report.allOk());
  EXPECT_TRUE(report.photos[0].ok());
  EXPECT_TRUE(report.photos[1].readError.empty());
  EXPECT_FALSE(report.photos[1].written);
  EXPECT_EQ(report.photos[1].writeError, "is a directory");
  EXPECT_TRUE(fs::is_directory(dir.path() / kResults / "b.jpg"));

  // The results folder cannot be made: a file has its name.
  TempDir other;
  const std::string c = other / "c.jpg";
  testing::WriteJpeg(c, 30, 30, testing::PhotoLike(30, 30));
  std::ofstream(other.path() / kResults) << "in the way";
  RecordingHost host2(Pixels(10, 10, OutputFormat::JPG));
  BatchReport blocked = RunBatch({c}, host2);
  EXPECT_FALSE(blocked.allOk());
  EXPECT_FALSE(blocked.photos[0].written);
  EXPECT_EQ(blocked.photos[0].writeError,
            "cannot create the results folder " + other.path().string() + "/" + kResults + "/: not a directory");
  EXPECT_TRUE(fs::is_regular_file(other.path() / kResults));
}

TEST(Batch, WorkersGiveTheSameFilesInInputOrder) {
  TempDir dir;
  std::vector<std::string> photos;
  for (int i = 0; i < 9; ++i) {
    // Sizes vary so that workers finish out of order.
    const int w = 60 + (i % 3) * 400, h = 50 + (i % 4) * 300;
    std::string name = "p";  // appended, not "p" + …: GCC 12 warns wrongly about the latter when fortified
    name += std::to_string(i);
    name += i % 2 ? ".jpg" : ".bmp";
    std::string path = dir / name;
    if (i % 2) {
      testing::WriteJpeg(path, w, h, testing::PhotoLike(w, h, static_cast<unsigned>(i)));
    } else {
      testing::WriteBmp24(path, w, h, testing::PhotoLike(w, h, static_cast<unsigned>(i)));
    }
    photos.push_back(path);
  }
  photos.push_back(dir / "missing.jpg");
  auto run = [&](int jobs, const std::string& out) {
    RecordingHost host(Pixels(33, 41, OutputFormat::BMP));
    BatchOptions options;
    options.jobs = jobs;
    options.outputFolder = dir / out;
    BatchReport report = RunBatch(photos, host, options);
    EXPECT_EQ(host.finishedOrder, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(host.captions.size(), photos.size());
    std::vector<std::vector<std::uint8_t>> files;
    for (const auto& p : report.photos) files.push_back(testing::ReadFileBytes(p.output));
    return files;
  };
  auto one = run(1, "one");
  auto three = run(3, "three");
  ASSERT_EQ(one.size(), three.size());
  for (std::size_t i = 0; i < one.size(); ++i) EXPECT_TRUE(one[i] == three[i]) << "photo " << i;
}

// A host that lets `allowed` photos start, then asks the run to stop. The
// run asks once before each photo, so exactly that many start.
class StoppingHost : public RecordingHost {
 public:
  StoppingHost(TrimSettings settings, int allowed) : RecordingHost(std::move(settings)), allowed_(allowed) {}
  bool stopRequested() override { return asked_.fetch_add(1) >= allowed_; }
  void runFinished(const BatchReport& report) override {
    RecordingHost::runFinished(report);
    ++finishedCalls;
  }
  int finishedCalls = 0;

 private:
  int allowed_;
  std::atomic<int> asked_{0};
};

TEST(Batch, AStopStartsNoFurtherPhotoAndFinishesTheOnesInProgress) {
  TempDir dir;
  std::vector<std::string> photos;
  for (int i = 0; i < 8; ++i) {
    std::string path = dir / ("s" + std::to_string(i) + ".jpg");
    testing::WriteJpeg(path, 200, 150, testing::PhotoLike(200, 150, static_cast<unsigned>(i)));
    photos.push_back(path);
  }
  for (int jobs : {1, 2}) {
    StoppingHost host(Pixels(20, 30, OutputFormat::BMP), 3);
    BatchOptions options;
    options.jobs = jobs;
    options.outputFolder = dir / ("out" + std::to_string(jobs));
    BatchReport report = RunBatch(photos, host, options);
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    EXPECT_TRUE(report.stopped);
    EXPECT_FALSE(report.allOk());
    EXPECT_EQ(host.finishedCalls, 1);
    // Each photo that started was finished whole and reported; none after it.
    const std::size_t started = 3;
    EXPECT_EQ(host.captions.size(), started);
    EXPECT_EQ(host.outputs.size(), started);
    for (std::size_t i = 0; i < photos.size(); ++i) {
      const PhotoReport& p = report.photos[i];
      if (i < started) {
        EXPECT_TRUE(p.ok() && !p.skipped) << i;
        EXPECT_EQ(testing::ReadFileBytes(p.output).size(), 54u + 60u * 30u) << i;  // 20 × 30, 24-bit
      } else {
        EXPECT_TRUE(p.skipped) << i;
        EXPECT_FALSE(fs::exists(p.output)) << i;
      }
    }
  }
}

TEST(Batch, JobCountFitsHalfTheFreeMemory) {
  struct Case {
    std::vector<std::uint64_t> estimates;
    int processors;
    std::uint64_t available;
    int expected;
  };
  const std::uint64_t mb = 1 << 20;
  const Case cases[] = {
      {{10 * mb, 10 * mb, 10 * mb}, 4, 1000 * mb, 4},
      {{300 * mb, 10 * mb, 200 * mb}, 4, 1000 * mb, 2},  // 300 + 200 fit in 500, a third does not
      {{900 * mb, 10 * mb}, 8, 1000 * mb, 1},           // even one does not fit: still one at a time
      {{10 * mb}, 8, 0, 8},                              // memory unknown
      {{}, 2, 1000 * mb, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseJobCount(c.estimates, c.processors, c.available), c.expected)
        << "processors " << c.processors << " available " << c.available / mb << " MB";
  }
  // Estimates come from the header alone: a 6000 × 4000 frame header on a
  // tiny file. A progressive decoder keeps every coefficient, a baseline one
  // a few rows, a BMP the whole picture plus the canvas.
  TempDir dir;
  auto withFrameSize = [&](const std::string& name, bool progressive) {
    const std::string path = dir / name;
    testing::WriteJpeg(path, 16, 16, testing::PhotoLike(16, 16), testing::JpegOptions{.progressive = progressive});
    auto bytes = testing::ReadFileBytes(path);
    for (std::size_t i = 0; i + 8 < bytes.size(); ++i) {
      if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
        bytes[i + 5] = 4000 >> 8, bytes[i + 6] = 4000 & 0xFF;  // height
        bytes[i + 7] = 6000 >> 8, bytes[i + 8] = 6000 & 0xFF;  // width
        break;
      }
    }
    testing::WriteFileBytes(path, bytes);
    return path;
  };
  const std::uint64_t decoded = 6000ull * 4000 * 3;
  const TargetSize target{154, 189};
  // 4:2:0 colour: 750 × 500 luma blocks and twice 375 × 250 chroma blocks,
  // 128 bytes of coefficients each.
  EXPECT_GE(EstimateTrimMemory(withFrameSize("progressive.jpg", true), target, FitBasis::Width, false),
            562'500ull * 128);
  EXPECT_LT(EstimateTrimMemory(withFrameSize("baseline.jpg", false), target, FitBasis::Width, false), decoded / 4);
  std::vector<std::uint8_t> bmp(54, 0);
  bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40, bmp[26] = 1, bmp[28] = 24;
  bmp[18] = 6000 & 0xFF, bmp[19] = 6000 >> 8, bmp[22] = 4000 & 0xFF, bmp[23] = 4000 >> 8;
  testing::WriteFileBytes(dir / "big.bmp", bmp);
  EXPECT_GE(EstimateTrimMemory(dir / "big.bmp", target, FitBasis::Width, false), 2 * decoded);
  // Every kind's header is read the way its decoder reads it.
  for (const auto& [kind, bytes] : HeadersOnly(6000, 4000)) {
    testing::WriteFileBytes(dir / ("header." + kind), bytes);
    EXPECT_GE(EstimateTrimMemory(dir / ("header." + kind), target, FitBasis::Width, false), 2 * decoded) << kind;
  }
}

TEST(Batch, ParallelTrimsWaitForMemory) {
  MemoryBudget budget(100);
  {
    // Trims that fit side by side run at once; one too large for the budget
    // still runs when it is alone.
    MemoryHold a(&budget, 60);
    MemoryHold b(&budget, 40);
  }
  {
    MemoryHold alone(&budget, 500);
  }
  std::atomic<bool> started{false};
  std::thread waiting;
  {
    MemoryHold running(&budget, 70);
    waiting = std::thread([&] {
      MemoryHold next(&budget, 50);
      started = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(started) << "70 + 50 do not fit in 100";
  }
  waiting.join();
  EXPECT_TRUE(started);
  MemoryHold none(nullptr, 1000);  // no budget: nothing is held
}

}  // namespace
}  // namespace trimbrel
