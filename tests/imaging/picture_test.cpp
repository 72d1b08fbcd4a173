#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fixtures.hpp"
#include "imaging/picture.hpp"

namespace trimbrel {
namespace {

using namespace fixtures;
namespace fs = std::filesystem;

TEST(DetectPictureKind, ClassifiesFirstBytes) {
  struct Case {
    Bytes bytes;
    int kind;
  } cases[] = {
      {{'B', 'M', 0, 0, 0, 0}, 2},
      {{'B', 'M', 0xFF, 0xD8, 0, 0}, 2},
      {{0xFF, 0xD8, 0xFF, 0xE0, 0, 0}, 1},
      {{0x89, 'P', 'N', 'G', 0x0D, 0x0A}, 8},
      {{0, 0, 1, 0, 1, 0}, 3},
      {{0, 0, 2, 0, 3, 0}, 4},
      {{0, 0, 1, 0, 0, 0}, 0},  // no images
      {{0, 0, 3, 0, 1, 0}, 0},
      {{'G', 'I', 'F', '8', '7', 'a'}, 5},
      {{'G', 'I', 'F', '8', '9', 'a'}, 5},
      {{'G', 'I', 'F', '8', '8', 'a'}, 0},
      {{0x0A, 5, 1, 8, 0, 0}, 6},
      {{0x0A, 0, 1, 8, 0, 0}, 6},
      {{0x0A, 6, 1, 8, 0, 0}, 0},
      {{0x0A, 5, 0, 8, 0, 0}, 0},
      {{0x0A, 3, 1, 1, 0, 0}, 7},
      {{0x0A, 5, 1, 1, 0, 0}, 0},
      {{'h', 'e', 'l', 'l', 'o', '!'}, 0},
      {{'B', 'M', 0, 0, 0}, 0},  // fewer than 6 bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(DetectPictureKind(c.bytes)), c.kind) << "bytes " << int(c.bytes[0]) << " " << int(c.bytes[1]) << " "
                                                   << int(c.bytes[2]) << " " << int(c.bytes[3]);
  }
}

class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() / ("trimbrel-picture-" + std::to_string(::getpid()));
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string write(const std::string& name, const Bytes& bytes) const {
    const fs::path file = path_ / name;
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return file.string();
  }
  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
};

Rgba quadrants(int x, int y) { return Quadrants(x, y, 16, 8); }

// The header alone gives the size the decoder reports, for every kind and
// for the choices a decoder makes (the upright JPEG, the icon entry taken,
// a GIF screen of no size), and refuses what the decoder would refuse.
TEST(ReadPictureSize, GivesTheDecodersSizeFromTheHeader) {
  auto index = [](int x, int y) { return static_cast<std::uint8_t>((x + y) % 2); };
  const std::vector<Rgba> two = {{0, 0, 0}, {255, 255, 255}};
  const Bytes cases[] = {
      MakeJpeg(12, 7, quadrants),
      WithExifOrientation(MakeJpeg(12, 7, quadrants), 6, false),
      MakePng(5, 3, quadrants, {.interlaced = true}),
      MakeBmp({.width = 6, .height = 4, .topDown = true, .value = [](int, int) { return 0x102030u; }}),
      MakeIconFile({{16, 16, 0, MakeIconBitmap(16, 16, 32, quadrants)}, {32, 32, 16, MakeIconBitmap(32, 32, 24, quadrants)}}),
      MakeIconFile({{0, 0, 0, MakePng(40, 30, quadrants)}}, 2),
      MakeGif({.screenWidth = 10, .screenHeight = 8, .global = two, .left = 3, .top = 2, .width = 4, .height = 3, .index = index}),
      MakeGif({.screenWidth = 0, .screenHeight = 0, .global = two, .left = 3, .top = 2, .width = 4, .height = 3, .index = index}),
      MakePcx({.width = 9, .height = 5, .value = [](int, int x, int) { return static_cast<std::uint8_t>(x); }}),
      MakePcx({.width = 9, .height = 5, .bitsPerPixel = 1, .version = 3, .value = [](int, int x, int) { return static_cast<std::uint8_t>(x & 1); }}),
  };
  for (const Bytes& bytes : cases) {
    const int kind = static_cast<int>(DetectPictureKind(bytes));
    SCOPED_TRACE("kind " + std::to_string(kind));
    auto decoded = DecodePictureBytes(bytes);
    ASSERT_TRUE(decoded) << decoded.error().reason;
    auto size = ReadPictureSize(bytes);
    ASSERT_TRUE(size) << size.error().reason;
    EXPECT_EQ(size.value().width, decoded.value().width);
    EXPECT_EQ(size.value().height, decoded.value().height);
  }
  Bytes huge = MakePng(1, 1, quadrants);
  huge[16] = huge[20] = 0x01;  // IHDR: 16777217 × 16777217
  auto hugeSize = ReadPictureSize(huge);
  ASSERT_FALSE(hugeSize);
  EXPECT_EQ(hugeSize.error().reason, "too large: 16777217 × 16777217");
  const std::string text = "not a picture";
  auto unknown = ReadPictureSize(Bytes(text.begin(), text.end()));
  ASSERT_FALSE(unknown);
  EXPECT_EQ(unknown.error().reason, "unknown kind");
}

// One read of the header answers everything the batch engine asks before
// decoding; the kind stays known when the rest of the header is damaged, so
// a damaged JPEG is still reported as the JPEG road reports it.
TEST(ReadPictureHeader, GivesKindSizeAndJpegFactsInOneRead) {
  const Bytes upright = MakeJpeg(12, 7, quadrants);
  const Bytes turned = WithExifOrientation(MakeJpeg(12, 7, quadrants), 6, false);
  const Bytes cut(upright.begin(), upright.begin() + 20);
  const std::string text = "not a picture";
  struct Case {
    const char* name;
    Bytes bytes;
    PictureKind kind;
    int width, height, orientation;  // 0 × 0: the size is refused
  } cases[] = {
      {"jpeg", upright, PictureKind::Jpeg, 12, 7, 1},
      {"turned jpeg", turned, PictureKind::Jpeg, 7, 12, 6},
      {"cut jpeg", cut, PictureKind::Jpeg, 0, 0, 1},
      {"png", MakePng(5, 3, quadrants), PictureKind::Png, 5, 3, 1},
      {"text", Bytes(text.begin(), text.end()), PictureKind::None, 0, 0, 1},
  };
  for (const Case& c : cases) {
    const PictureHeader header = ReadPictureHeader(c.bytes);
    EXPECT_EQ(header.kind, c.kind) << c.name;
    auto size = ReadPictureSize(c.bytes);
    ASSERT_EQ(header.size.ok(), size.ok()) << c.name;
    if (!size) {
      EXPECT_EQ(c.width, 0) << c.name;
      EXPECT_EQ(header.size.error().reason, size.error().reason) << c.name;
      continue;
    }
    EXPECT_EQ(header.size.value().width, c.width) << c.name;
    EXPECT_EQ(header.size.value().height, c.height) << c.name;
    if (c.kind != PictureKind::Jpeg) continue;
    auto info = ReadJpegInfo(c.bytes);
    ASSERT_TRUE(info) << c.name;
    EXPECT_EQ(header.jpeg.width, info.value().width) << c.name;
    EXPECT_EQ(header.jpeg.orientation, c.orientation) << c.name;
    EXPECT_EQ(header.jpeg.coefficientBytes, info.value().coefficientBytes) << c.name;
  }
}

// The kind comes from the content, never from the name.
TEST(LoadPicture, ReadsFilesByContent) {
  TempFolder folder;
  const Bytes jpeg = MakeJpeg(16, 8, quadrants);
  const std::string text = "just some words, not a picture\r\n";
  struct Case {
    std::string name;
    Bytes bytes;
    std::string reason;  // empty: loads
    int width;
  } cases[] = {
      {"photo.png", jpeg, "", 16},
      {"picture with no extension", MakePng(5, 3, quadrants), "", 5},
      {"notes.jpg", Bytes(text.begin(), text.end()), "unknown kind", 0},
      {"seven.bmp", Bytes{'B', 'M', 1, 2, 3, 4, 5}, "unknown kind", 0},
      {"empty.gif", Bytes{}, "unknown kind", 0},
      {"cut.jpg", Bytes(jpeg.begin(), jpeg.begin() + 200), "damaged: Premature end of JPEG file", 0},
  };
  for (const Case& c : cases) {
    const std::string path = folder.write(c.name, c.bytes);
    auto decoded = DecodePictureFile(path);
    const PictureHandle handle = LoadPicture(path);
    if (c.reason.empty()) {
      ASSERT_TRUE(decoded.ok()) << c.name << ": " << decoded.error().reason;
      ASSERT_NE(handle, 0u) << c.name;
      EXPECT_EQ(PictureWidth(handle), c.width) << c.name;
      UnloadPicture(handle);
    } else {
      ASSERT_FALSE(decoded.ok()) << c.name;
      EXPECT_EQ(decoded.error().reason, c.reason) << c.name;
      EXPECT_EQ(handle, 0u) << c.name;
    }
  }
  const std::string missing = folder.path() + "/missing.jpg";
  auto decoded = DecodePictureFile(missing);
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().reason, "cannot open: No such file or directory");
  decoded = DecodePictureFile(folder.path());
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().reason, "cannot open: a folder");
  // A pipe nobody writes to must not hang the loader.
  const std::string pipe = folder.path() + "/pipe.jpg";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  decoded = DecodePictureFile(pipe);
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().reason, "cannot open: not a regular file");
  // A file bigger than any picture is refused before it is read (sparse here).
  const std::string huge = folder.write("huge.bmp", {'B', 'M'});
  fs::resize_file(huge, std::uintmax_t{3} << 30);
  decoded = DecodePictureFile(huge);
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().reason, "too large: a file of 3221225472 bytes");
  EXPECT_EQ(LoadPicture(std::string()), 0u);
  EXPECT_EQ(LoadPicture(std::span<const std::uint8_t>()), 0u);
}

TEST(LoadPicture, ReadsByteBuffers) {
  const Bytes bmp = MakeBmp({.width = 3, .height = 2, .value = [](int, int) { return 0x102030u; }});
  const PictureHandle handle = LoadPicture(std::span<const std::uint8_t>(bmp));
  ASSERT_NE(handle, 0u);
  auto picture = AcquirePicture(handle);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->kind, PictureKind::Bmp);
  EXPECT_EQ(PictureHeight(handle), 2);
  UnloadPicture(handle);
  const Bytes text = {'n', 'o', 't', ' ', 'a', 'n', 'y', ' ', 'k', 'i', 'n', 'd'};
  EXPECT_EQ(LoadPicture(std::span<const std::uint8_t>(text)), 0u);
}

TEST(PictureRegistry, HandlesNameLivePicturesOnly) {
  const PictureHandle a = RegisterPicture({PictureKind::Png, 2, 1, Bytes(8)});
  const PictureHandle b = RegisterPicture({PictureKind::Png, 3, 1, Bytes(12)});
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(PictureWidth(a), 2);
  EXPECT_EQ(PictureWidth(b), 3);
  // A drawer may keep a picture alive while another thread unloads it.
  auto held = AcquirePicture(a);
  UnloadPicture(a);
  UnloadPicture(a);  // unknown now: ignored
  EXPECT_EQ(PictureWidth(a), 0);
  EXPECT_EQ(PictureHeight(a), 0);
  EXPECT_EQ(AcquirePicture(a), nullptr);
  ASSERT_TRUE(held);
  EXPECT_EQ(held->width, 2);
  EXPECT_EQ(held->pixels.size(), 8u);
  EXPECT_EQ(PictureWidth(b), 3);
  UnloadPicture(b);
  EXPECT_EQ(PictureWidth(0), 0);
  EXPECT_EQ(AcquirePicture(0), nullptr);
}

TEST(PictureRegistry, SafeFromSeveralThreads) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  std::atomic<int> wrong{0};
  std::vector<std::vector<PictureHandle>> kept(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        const int width = t * 1000 + i + 1;
        const PictureHandle h = RegisterPicture({PictureKind::Bmp, width, 1, Bytes(3)});
        if (h == 0 || PictureWidth(h) != width) ++wrong;
        if (i % 3 == 0) {
          kept[t].push_back(h);
        } else {
          UnloadPicture(h);
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  std::set<PictureHandle> unique;
  for (int t = 0; t < kThreads; ++t) {
    for (std::size_t i = 0; i < kept[t].size(); ++i) {
      const PictureHandle h = kept[t][i];
      EXPECT_TRUE(unique.insert(h).second) << "handle " << h << " given twice";
      EXPECT_EQ(PictureWidth(h), t * 1000 + static_cast<int>(i) * 3 + 1);
      UnloadPicture(h);
    }
  }
}

// What the pixel block of a decoded picture must hold, from its kind alone.
std::size_t layoutBytes(const Picture& p) {
  const std::size_t w = static_cast<std::size_t>(p.width), h = static_cast<std::size_t>(p.height);
  switch (p.kind) {
    case PictureKind::Jpeg:
    case PictureKind::Bmp: return w * h * 3;
    case PictureKind::Icon:
    case PictureKind::Cursor:
    case PictureKind::Png: return w * h * 4;
    case PictureKind::Gif:
    case PictureKind::Pcx8: {
      const bool trueColour = p.pixels.size() > 14 && p.pixels[14] == 24;
      return trueColour ? 40 + (w * 3 + 3) / 4 * 4 * h : 1064 + (w + 3) / 4 * 4 * h;
    }
    case PictureKind::Pcx1: return 48 + ((w + 31) / 32) * 4 * h;
    case PictureKind::None: break;
  }
  return 0;
}

bool knownReason(const std::string& reason) {
  return reason == "unknown kind" || reason.rfind("damaged: ", 0) == 0 || reason.rfind("too large: ", 0) == 0;
}

std::vector<std::pair<std::string, Bytes>> sampleFiles() {
  auto noise = [](int x, int y) {
    return Rgba{static_cast<std::uint8_t>(x * 37 + y), static_cast<std::uint8_t>(y * 11), static_cast<std::uint8_t>(x ^ y), 200};
  };
  std::vector<Rgba> table;
  for (int i = 0; i < 16; ++i) table.push_back({static_cast<std::uint8_t>(i * 16), 0, 0});
  GifPlan gif{.screenWidth = 12, .screenHeight = 9, .global = table, .left = 1, .top = 1, .width = 10, .height = 7,
              .interlaced = true};
  gif.index = [](int x, int y) { return static_cast<std::uint8_t>((x * y) % 16); };
  PcxPlan pcx{.width = 9, .height = 5, .palette = table, .value = [](int, int x, int y) { return std::uint8_t(x * y); }};
  PcxPlan pcxRgb{.width = 9, .height = 5, .planes = 3, .value = [](int p, int x, int) { return std::uint8_t(p * x); }};
  BmpPlan bmp{.width = 5, .height = 4, .bitCount = 4, .palette = table};
  bmp.value = [](int x, int y) { return static_cast<std::uint32_t>(x + y); };
  return {
      {"jpeg", MakeJpeg(24, 16, noise)},
      {"progressive jpeg", WithExifOrientation(MakeJpeg(24, 16, noise, {.progressive = true}), 6, true)},
      {"png", MakePng(9, 7, noise, {.alpha = true})},
      {"16-bit png", MakePng(9, 7, noise, {.bitDepth = 16, .interlaced = true})},
      {"bmp", MakeBmp(bmp)},
      {"icon", MakeIconFile({{32, 32, 16, MakeIconBitmap(7, 5, 32, noise)}, {16, 16, 0, MakePng(4, 4, noise)}})},
      {"gif", MakeGif(gif)},
      {"pcx", MakePcx(pcx)},
      {"true-colour pcx", MakePcx(pcxRgb)},
  };
}

// Cut short or with any one byte spoiled, every reader either decodes a
// picture whose pixel block matches its layout or fails with a reason; the
// sanitizer build checks that nothing is read out of bounds on the way.
TEST(MalformedPictures, FailCleanlyOrDecodeConsistently) {
  for (const auto& [name, file] : sampleFiles()) {
    ASSERT_TRUE(DecodePictureBytes(file).ok()) << name;
    std::vector<Bytes> variants;
    for (std::size_t cut = 0; cut < file.size(); cut += 1 + file.size() / 150) variants.emplace_back(file.begin(), file.begin() + std::ptrdiff_t(cut));
    for (std::size_t at = 0; at < file.size(); at += 1 + file.size() / 300) {
      for (std::uint8_t flip : {0xFF, 0x80, 0x01}) {
        Bytes spoiled = file;
        spoiled[at] ^= flip;
        variants.push_back(std::move(spoiled));
      }
    }
    for (const Bytes& v : variants) {
      auto decoded = DecodePictureBytes(v);
      if (decoded.ok()) {
        const Picture& p = decoded.value();
        ASSERT_TRUE(p.width > 0 && p.height > 0) << name;
        ASSERT_EQ(p.pixels.size(), layoutBytes(p)) << name << " kind " << int(p.kind) << " size " << v.size();
      } else {
        ASSERT_TRUE(knownReason(decoded.error().reason)) << name << ": " << decoded.error().reason;
      }
    }
  }
}

// The malformed set: small hand-made inputs at the edges of each format, and
// every input a fuzzer ever found, so they stay refused.
TEST(MalformedPictures, KnownBadInputsFail) {
  struct Case {
    const char* name;
    Bytes bytes;
  } malformed[] = {
      {"icon directory with no entries", {0, 0, 1, 0, 0, 0, 0, 0}},
      {"icon entry pointing at itself", {0, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 32, 0, 40, 0, 0, 0, 6, 0, 0, 0}},
      {"gif with only a header", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}},
      {"pcx header and nothing else", [] {
         Bytes b(129, 0);
         b[0] = 0x0A, b[1] = 5, b[2] = 1, b[3] = 8, b[65] = 1, b[66] = 2;
         return b;
       }()},
      {"jpeg markers only", {0xFF, 0xD8, 0xFF, 0xD9, 0, 0, 0, 0}},
      {"png signature only", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}},
  };
  for (const Case& c : malformed) {
    auto decoded = DecodePictureBytes(c.bytes);
    ASSERT_FALSE(decoded.ok()) << c.name;
    EXPECT_TRUE(knownReason(decoded.error().reason)) << c.name << ": " << decoded.error().reason;
  }
}

}  // namespace
}  // namespace trimbrel
