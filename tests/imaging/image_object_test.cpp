#include "imaging/image_object.hpp"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "imaging/drawing_surface.hpp"
#include "imaging/image_object_impl.hpp"
#include "temp_folder.hpp"

namespace trimbrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing_support::TempFolder;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A surface with distinct pixels, and its snapshot.
DrawingSurface Canvas(int w, int h, unsigned seed = 1) {
  DrawingSurface s;
  ResizeSurface(s, {}, {}, w, h);
  Picture p;
  p.kind = PictureKind::Bmp;
  p.width = w;
  p.height = h;
  p.pixels.resize(static_cast<std::size_t>(w) * h * 3);
  for (std::size_t k = 0; k < p.pixels.size(); ++k) p.pixels[k] = static_cast<std::uint8_t>(k * 37 + seed * 11);
  DrawPicture(s, p, 0, 0);
  return s;
}

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

Bytes EncodeToBytes(ImageRef& image, int format, const TempFolder& dir, const std::string& name) {
  EXPECT_TRUE(EncodeToFile(image, dir / name, format)) << LastImageError(image);
  return ReadFile(dir / name);
}

TEST(ImageObject, ShortBuffersChangeNothing) {
  ImageRef image;
  for (std::size_t n : {0u, 1u, 32u}) {
    EXPECT_FALSE(DecodeFromBin(image, Bytes(n, 'B'), IMAGE_FORMAT_BMP)) << n;
    EXPECT_FALSE(image) << n;
  }
  const Bytes snap = TakeSnapshot(Canvas(2, 2));
  ASSERT_TRUE(DecodeFromBin(image, snap, IMAGE_FORMAT_BMP));
  EXPECT_FALSE(DecodeFromBin(image, Bytes(snap.begin(), snap.begin() + 32), IMAGE_FORMAT_BMP));
  EXPECT_TRUE(image->hasPixels());
}

TEST(ImageObject, FailedDecodesKeepThePreviousImageAndGiveTheReason) {
  TempFolder dir;
  const Bytes good = TakeSnapshot(Canvas(5, 3));
  auto patched = [&](std::size_t at, std::uint32_t v, int n) {
    Bytes b = good;
    for (int k = 0; k < n; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
    return b;
  };
  struct Case {
    Bytes bytes;
    int format;
    const char* reason;
  };
  const Case cases[] = {
      {patched(0, 'X', 1), IMAGE_FORMAT_BMP, "Not a BMP"},
      {patched(14, 12, 4), IMAGE_FORMAT_BMP, "Error reading BMP info"},
      {patched(18, 0, 4), IMAGE_FORMAT_BMP, "Error reading BMP info"},
      {patched(18, 70000, 4), IMAGE_FORMAT_BMP, "Error reading BMP info"},
      {patched(30, 1, 4), IMAGE_FORMAT_BMP, "compression type not supported"},
      {patched(30, 3, 4), IMAGE_FORMAT_BMP, "compression type not supported"},
      {patched(30, 9, 4), IMAGE_FORMAT_BMP, "unknown compression"},
      {patched(28, 8, 2), IMAGE_FORMAT_BMP, "BMP bit depth not supported"},
      {patched(22, 300, 4), IMAGE_FORMAT_BMP, "BMP data is truncated"},
      {patched(10, 5000, 4), IMAGE_FORMAT_BMP, "BMP data is truncated"},
      {patched(10, 20, 4), IMAGE_FORMAT_BMP, "BMP data is truncated"},
      {Bytes(good.begin(), good.end() - 1), IMAGE_FORMAT_BMP, "BMP data is truncated"},
      {good, IMAGE_FORMAT_PNG, "解码: 不支持的图像格式"},
      {good, 99, "解码: 未知的图像格式"},
  };
  ImageRef image;
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(4, 4, 9)), IMAGE_FORMAT_BMP));
  const Bytes before = EncodeToBytes(image, IMAGE_FORMAT_BMP, dir, "before.bmp");
  for (const auto& c : cases) {
    EXPECT_FALSE(DecodeFromBin(image, c.bytes, c.format)) << c.reason;
    EXPECT_EQ(LastImageError(image), c.reason);
    EXPECT_EQ(EncodeToBytes(image, IMAGE_FORMAT_BMP, dir, "after.bmp"), before) << c.reason;
  }
}

// Damaged snapshots: every decode either fails cleanly or yields an image
// whose BMP output has exactly the size its header promises.
TEST(ImageObject, DamagedBitmapsDecodeCleanlyOrNotAtAll) {
  TempFolder dir;
  const Bytes good = TakeSnapshot(Canvas(7, 5));
  std::mt19937 rng(7);
  ImageRef image;
  for (int round = 0; round < 400; ++round) {
    Bytes b = good;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < flips; ++k) b[rng() % 54] = static_cast<std::uint8_t>(rng());
    if (rng() % 4 == 0) b.resize(rng() % b.size());
    if (!DecodeFromBin(image, b, IMAGE_FORMAT_BMP)) continue;
    const Bytes out = EncodeToBytes(image, IMAGE_FORMAT_BMP, dir, "m.bmp");
    const std::size_t stride = (static_cast<std::size_t>(image->width()) * 3 + 3) / 4 * 4;
    ASSERT_EQ(out.size(), 54 + stride * image->height()) << "round " << round;
  }
}

TEST(ImageObject, AFailedFirstDecodeLeavesAnObjectWithoutPixels) {
  TempFolder dir;
  ImageRef image;
  EXPECT_FALSE(DecodeFromBin(image, Bytes(40, 'x'), IMAGE_FORMAT_BMP));
  ASSERT_TRUE(image);
  EXPECT_EQ(LastImageError(image), "Not a BMP");
  EXPECT_FALSE(EncodeToFile(image, dir / "out.png", IMAGE_FORMAT_PNG));
  EXPECT_EQ(LastImageError(image), "没有图像!!!");
  EXPECT_TRUE(dir.names().empty());  // no empty file left behind
}

TEST(ImageObject, ResolutionAndPixelsPerMetre) {
  struct Case {
    int dpi, wantDpi;
    std::uint32_t ppm;
  };
  const Case cases[] = {{0, 96, 3780}, {-5, 96, 3780}, {72, 72, 2835}, {96, 96, 3780},
                        {150, 150, 5906}, {300, 300, 11811}, {2147483647, 2147483647, 2147483647}};
  TempFolder dir;
  ImageRef empty;
  SetXDPI(empty, 300);  // nothing to set: no crash, no object
  EXPECT_FALSE(empty);
  for (const auto& c : cases) {
    ImageRef image;
    ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(3, 2)), IMAGE_FORMAT_BMP));
    EXPECT_EQ(image->attributes().xDpi, 0);  // a snapshot carries no resolution
    SetXDPI(image, c.dpi);
    SetYDPI(image, 72);
    EXPECT_EQ(image->attributes().xDpi, c.wantDpi);
    const Bytes bmp = EncodeToBytes(image, IMAGE_FORMAT_BMP, dir, "r.bmp");
    ASSERT_EQ(bmp.size(), 78u);
    EXPECT_EQ(Le32(bmp, 38), c.ppm) << "dpi " << c.dpi;
    EXPECT_EQ(Le32(bmp, 42), 2835u);
  }
}

TEST(ImageObject, AttributesCarryOverButTheResolutionComesFromTheNewImage) {
  ImageRef image;
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(3, 2)), IMAGE_FORMAT_BMP));
  EXPECT_EQ(image->attributes().jpegQuality, 90);
  image->attributes().jpegQuality = 50;
  SetXDPI(image, 300);
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(4, 4)), IMAGE_FORMAT_BMP));
  EXPECT_EQ(image->attributes().jpegQuality, 50);
  EXPECT_EQ(image->attributes().xDpi, 0);
  EXPECT_EQ(image->attributes().xPixelsPerMetre, 0);
  EXPECT_EQ(image->width(), 4);
}

// A bitmap written at 300 × 72 dpi decodes with that resolution, read from
// biXPelsPerMeter and biYPelsPerMeter (not the colour counts behind them).
TEST(ImageObject, ABitmapsResolutionComesBackWithIt) {
  TempFolder dir;
  ImageRef image;
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(3, 2)), IMAGE_FORMAT_BMP));
  SetXDPI(image, 300);
  SetYDPI(image, 72);
  const Bytes bmp = EncodeToBytes(image, IMAGE_FORMAT_BMP, dir, "r.bmp");
  ImageRef again;
  ASSERT_TRUE(DecodeFromBin(again, bmp, IMAGE_FORMAT_BMP));
  EXPECT_EQ(again->attributes().xPixelsPerMetre, 11811);
  EXPECT_EQ(again->attributes().yPixelsPerMetre, 2835);
  EXPECT_EQ(again->attributes().xDpi, 300);
  EXPECT_EQ(again->attributes().yDpi, 72);
}

TEST(ImageObject, TopDownBitmapsDecodeUpright) {
  const Bytes up = TakeSnapshot(Canvas(3, 4));
  Bytes down = up;
  const std::size_t stride = 12;
  for (int y = 0; y < 4; ++y) std::memcpy(down.data() + 54 + y * stride, up.data() + 54 + (3 - y) * stride, stride);
  const std::int32_t negative = -4;
  std::memcpy(down.data() + 22, &negative, 4);
  ImageRef a, b;
  ASSERT_TRUE(DecodeFromBin(a, up, IMAGE_FORMAT_BMP));
  ASSERT_TRUE(DecodeFromBin(b, down, IMAGE_FORMAT_BMP));
  EXPECT_TRUE(std::equal(a->rows().begin(), a->rows().end(), b->rows().begin(), b->rows().end()));
}

TEST(ImageObject, EncodeRefusals) {
  TempFolder dir;
  ImageRef empty;
  EXPECT_FALSE(EncodeToFile(empty, dir / "a.bmp", IMAGE_FORMAT_BMP));
  ImageRef image;
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(2, 2)), IMAGE_FORMAT_BMP));
  struct Case {
    std::string path;
    int format;
    const char* reason;  // null: no reason is given
  };
  const Case cases[] = {
      {"a.b", IMAGE_FORMAT_BMP, nullptr},  // a 3-byte path
      {dir / "u.bmp", 0, "编码: 未知的图像格式"},
      {dir / "u.bmp", 16, "编码: 未知的图像格式"},
      {dir / "u.bmp", -1, "编码: 未知的图像格式"},
      {dir / "u.ico", 5, "编码: 不支持的图像格式"},
      {dir / "u.tga", 7, "编码: 不支持的图像格式"},
      {dir / "missing/u.bmp", IMAGE_FORMAT_BMP, "无法创建文件: No such file or directory"},
      {dir.path(), IMAGE_FORMAT_BMP, "无法写入文件: Is a directory"},
  };
  for (const auto& c : cases) {
    image->setLastError("");
    EXPECT_FALSE(EncodeToFile(image, c.path, c.format)) << c.path << " " << c.format;
    EXPECT_EQ(LastImageError(image), c.reason ? c.reason : "") << c.path << " " << c.format;
    EXPECT_TRUE(dir.names().empty()) << c.path << " " << c.format;
  }
}

TEST(ImageObject, OnePixelEncodesInEveryFormat) {
  TempFolder dir;
  ImageRef image;
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(1, 1)), IMAGE_FORMAT_BMP));
  SetXDPI(image, 150);
  SetYDPI(image, 150);
  struct Case {
    int format;
    const char* name;
    Bytes magic;
  };
  const Case cases[] = {{IMAGE_FORMAT_BMP, "p.bmp", {'B', 'M'}},
                        {IMAGE_FORMAT_JPG, "p.jpg", {0xFF, 0xD8, 0xFF}},
                        {IMAGE_FORMAT_GIF, "p.gif", {'G', 'I', 'F', '8', '9', 'a'}},
                        {IMAGE_FORMAT_TIF, "p.tiff", {'I', 'I', 42, 0}},
                        {IMAGE_FORMAT_PNG, "p.png", {0x89, 'P', 'N', 'G'}}};
  for (const auto& c : cases) {
    const Bytes out = EncodeToBytes(image, c.format, dir, c.name);
    ASSERT_GE(out.size(), c.magic.size()) << c.name;
    EXPECT_TRUE(std::equal(c.magic.begin(), c.magic.end(), out.begin())) << c.name;
  }
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"p.bmp", "p.gif", "p.jpg", "p.png", "p.tiff"}));
}

TEST(ImageObject, ShortcutRoadsGiveTheSameFiles) {
  TempFolder dir;
  const DrawingSurface surface = Canvas(19, 7, 3);
  ImageRef viaBin, viaSurface, viaDib;
  ASSERT_TRUE(DecodeFromBin(viaBin, TakeSnapshot(surface), IMAGE_FORMAT_BMP));
  ASSERT_TRUE(DecodeFromSurface(viaSurface, surface));
  // A view with wider stored rows than needed, as a caller's buffer may have.
  const DibView own = surface.view();
  std::vector<std::uint8_t> wide(static_cast<std::size_t>(own.height) * 64, 0xAB);
  for (int y = 0; y < own.height; ++y) std::memcpy(wide.data() + y * 64, own.rowFromBottom(y), own.width * 3);
  ASSERT_TRUE(DecodeFromDib(viaDib, DibView{own.width, own.height, 64, wide.data()}));
  for (ImageRef* image : {&viaBin, &viaSurface, &viaDib}) {
    SetXDPI(*image, 381);
    SetYDPI(*image, 381);
  }
  for (int format : {IMAGE_FORMAT_BMP, IMAGE_FORMAT_JPG, IMAGE_FORMAT_GIF, IMAGE_FORMAT_TIF, IMAGE_FORMAT_PNG}) {
    const Bytes a = EncodeToBytes(viaBin, format, dir, "bin");
    EXPECT_EQ(EncodeToBytes(viaSurface, format, dir, "surface"), a) << "format " << format;
    EXPECT_EQ(EncodeToBytes(viaDib, format, dir, "dib"), a) << "format " << format;
  }

  DrawingSurface none;
  ResizeSurface(none, {}, {}, 70000, 70000);
  ImageRef untouched;
  EXPECT_FALSE(DecodeFromSurface(untouched, none));
  EXPECT_FALSE(untouched);  // like an empty snapshot
  EXPECT_FALSE(DecodeFromDib(viaDib, DibView{}));
  EXPECT_EQ(viaDib->width(), 19);
}

TEST(ImageObject, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  TempFolder dir;
  const std::string target = dir / "photo.jpg";
  { std::ofstream(target, std::ios::binary) << "old content"; }
  // Wider than a JPEG can be: the writer fails after the temporary exists.
  std::vector<std::uint8_t> row((65501 * 3 + 3) / 4 * 4, 0x7F);
  ImageRef image;
  ASSERT_TRUE(DecodeFromDib(image, DibView{65501, 1, row.size(), row.data()}));
  EXPECT_FALSE(EncodeToFile(image, target, IMAGE_FORMAT_JPG));
  EXPECT_FALSE(LastImageError(image).empty());
  EXPECT_EQ(ReadFile(target), Bytes({'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'}));
  EXPECT_EQ(dir.names(), std::vector<std::string>{"photo.jpg"});

  // A successful write replaces it and keeps its permissions; a new file
  // gets the usual ones.
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(2, 2)), IMAGE_FORMAT_BMP));
  ASSERT_TRUE(EncodeToFile(image, target, IMAGE_FORMAT_JPG));
  EXPECT_EQ(ReadFile(target)[0], 0xFF);
  const std::string fresh = dir / "new.png";
  ASSERT_TRUE(EncodeToFile(image, fresh, IMAGE_FORMAT_PNG));
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"new.png", "photo.jpg"}));
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

// The reasons SaveImage gives in English beside the object's own words.
TEST(ImageObject, SaveImageSaysWhyInTheSystemsWords) {
  TempFolder dir;
  { std::ofstream(dir / "plain", std::ios::binary) << "a file"; }
  { std::ofstream(dir / "taken.bmp", std::ios::binary) << "kept"; }
  ASSERT_EQ(::mkdir((dir / "sub.bmp").c_str(), 0755), 0);
  const std::vector<std::string> before = dir.names();
  ImageRef image;
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(4, 3)), IMAGE_FORMAT_BMP));
  std::vector<std::uint8_t> row((65501 * 3 + 3) / 4 * 4, 0x7F);
  ImageRef tooWide;
  ASSERT_TRUE(DecodeFromDib(tooWide, DibView{65501, 1, row.size(), row.data()}));
  struct Case {
    ImageRef* image;
    std::string path;
    int format;
    ExistingFile existing;
    const char* reason;
    const char* lastError;
  };
  const Case cases[] = {
      {&image, dir / "missing/a.bmp", IMAGE_FORMAT_BMP, ExistingFile::Replace, "no such file or directory",
       "无法创建文件: No such file or directory"},
      {&image, dir / "plain/a.bmp", IMAGE_FORMAT_BMP, ExistingFile::Replace, "not a directory",
       "无法创建文件: Not a directory"},
      {&image, dir / "sub.bmp", IMAGE_FORMAT_BMP, ExistingFile::Replace, "is a directory",
       "无法写入文件: Is a directory"},
      {&image, dir / "taken.bmp", IMAGE_FORMAT_BMP, ExistingFile::Keep, "file exists", "无法写入文件: File exists"},
      {&image, dir / "a.bmp", 0, ExistingFile::Replace, "unknown image format", "编码: 未知的图像格式"},
      {&image, dir / "a.ico", IMAGE_FORMAT_ICO, ExistingFile::Replace, "no writer for this format",
       "编码: 不支持的图像格式"},
      {&tooWide, dir / "a.jpg", IMAGE_FORMAT_JPG, ExistingFile::Replace, "cannot be encoded", "JPEG 图像尺寸过大"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Result<void> saved = SaveImage(*c.image, c.path, c.format, c.existing);
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error().reason, c.reason);
    EXPECT_EQ(LastImageError(*c.image), c.lastError);
    EXPECT_EQ(dir.names(), before);
  }
  EXPECT_TRUE(SaveImage(image, dir / "fine.png", IMAGE_FORMAT_PNG).ok());
}

// A write that the system refuses half-way (here beyond the file size
// limit) is named by what the system said; nothing of it stays.
TEST(ImageObject, SaveImageCarriesTheErrorOfAFailedWrite) {
  TempFolder dir;
  ImageRef image;
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(200, 200)), IMAGE_FORMAT_BMP));
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{10000, 10000};
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) ::_exit(2);
    const Result<void> saved = SaveImage(image, dir / "big.bmp", IMAGE_FORMAT_BMP);
    const std::string reason = saved.ok() ? "written" : saved.error().reason;
    const bool told = reason == "file too large" && LastImageError(image) == "文件写入失败";
    if (!told) std::fprintf(stderr, "%s / %s\n", reason.c_str(), LastImageError(image).c_str());
    std::fflush(nullptr);
    ::_exit(told ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(dir.names().empty());
}

TEST(ImageObject, AReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  TempFolder dir;
  const std::string target = dir / "locked.bmp";
  { std::ofstream(target, std::ios::binary) << "keep"; }
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  ImageRef image;
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(2, 2)), IMAGE_FORMAT_BMP));
  EXPECT_FALSE(EncodeToFile(image, target, IMAGE_FORMAT_BMP));
  EXPECT_EQ(LastImageError(image), "无法写入文件: Permission denied");
  const Result<void> saved = SaveImage(image, target, IMAGE_FORMAT_BMP);
  ASSERT_FALSE(saved.ok());
  EXPECT_EQ(saved.error().reason, "permission denied");
  EXPECT_EQ(ReadFile(target), Bytes({'k', 'e', 'e', 'p'}));
  EXPECT_EQ(dir.names(), std::vector<std::string>{"locked.bmp"});
  // A folder that takes no new file refuses the temporary.
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  const Result<void> inFolder = SaveImage(image, dir / "new.bmp", IMAGE_FORMAT_BMP);
  ::chmod(dir.path().c_str(), 0755);
  ASSERT_FALSE(inFolder.ok());
  EXPECT_EQ(inFolder.error().reason, "permission denied");
  EXPECT_EQ(LastImageError(image), "无法创建文件: Permission denied");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"locked.bmp"});
}

// Keep writes only where nothing of the name exists: not over a file, a
// folder or a link to nothing, and no temporary is left behind.
TEST(ImageObject, KeepingLeavesWhateverHasTheName) {
  TempFolder dir;
  { std::ofstream(dir / "file.bmp", std::ios::binary) << "keep"; }
  ASSERT_EQ(::mkdir((dir / "folder.bmp").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("nowhere", (dir / "link.bmp").c_str()), 0);
  ImageRef image;
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(2, 2)), IMAGE_FORMAT_BMP));
  for (const char* name : {"file.bmp", "folder.bmp", "link.bmp"}) {
    EXPECT_FALSE(EncodeToFile(image, dir / name, IMAGE_FORMAT_BMP, ExistingFile::Keep)) << name;
    EXPECT_EQ(LastImageError(image), "无法写入文件: File exists") << name;
  }
  EXPECT_EQ(ReadFile(dir / "file.bmp"), Bytes({'k', 'e', 'e', 'p'}));
  ASSERT_TRUE(EncodeToFile(image, dir / "new.bmp", IMAGE_FORMAT_BMP, ExistingFile::Keep));
  EXPECT_EQ(ReadFile(dir / "new.bmp")[0], 'B');
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"file.bmp", "folder.bmp", "link.bmp", "new.bmp"}));
}

TEST(ImageObject, ThreadsWriteIntoOneFolderWithoutCollisions) {
  TempFolder dir;
  constexpr int kThreads = 6, kFiles = 8;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ImageRef image;
      for (int f = 0; f < kFiles; ++f) {
        const DrawingSurface s = Canvas(30 + t, 20 + f, static_cast<unsigned>(t * 100 + f));
        if (!DecodeFromSurface(image, s)) ++failures[t];
        const int format = (f % 2) ? IMAGE_FORMAT_TIF : IMAGE_FORMAT_PNG;
        const std::string name = std::to_string(t * 100 + f) + ".out";
        if (!EncodeToFile(image, dir / name, format)) ++failures[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
  EXPECT_EQ(dir.names().size(), static_cast<std::size_t>(kThreads * kFiles));
  for (const auto& name : dir.names()) EXPECT_NE(name[0], '.') << name;
}

TEST(ImageObject, ErrorTextsKeepAtMost256Bytes) {
  ImageRef image;
  ASSERT_TRUE(DecodeFromBin(image, TakeSnapshot(Canvas(1, 1)), IMAGE_FORMAT_BMP));
  std::string longText;
  for (int k = 0; k < 100; ++k) longText += "图";  // 3 bytes each
  image->setLastError(longText);
  EXPECT_EQ(LastImageError(image).size(), 255u);  // whole characters only
  image->setLastError(std::string(300, 'x'));
  EXPECT_EQ(LastImageError(image).size(), 256u);
  Free(image);
  EXPECT_FALSE(image);
  EXPECT_EQ(LastImageError(image), "");
  Free(image);  // an empty reference is left alone
}

}  // namespace
}  // namespace trimbrel
