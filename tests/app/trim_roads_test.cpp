// The streaming road must give, byte for byte, what the drawing road gives:
// photo drawn 1:1 on a canvas, snapshot, reloaded, stretched, snapshot.
#include <gtest/gtest.h>

#include "app/trim_engine.hpp"
#include "imaging/imaging.hpp"
#include "photo_fixtures.hpp"

namespace trimbrel {
namespace {

using testing::JpegOptions;
using testing::TempDir;

enum class Kind { Jpeg, JpegProgressive, JpegGrey, JpegRotated, Bmp, Png, Gif, Text };

// A photo in another format, written by the image object's own writers.
void WriteThroughImageObject(const std::string& path, int width, int height, int format) {
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height), 0);
  auto pixel = testing::PhotoLike(width, height, 5);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = &rows[stride * static_cast<std::size_t>(height - 1 - y)];
    for (int x = 0; x < width; ++x) {
      testing::Rgb c = pixel(x, y);
      row[x * 3] = c.b, row[x * 3 + 1] = c.g, row[x * 3 + 2] = c.r;
    }
  }
  ImageRef image;
  ASSERT_TRUE(DecodeFromDib(image, DibView{width, height, stride, rows.data()}));
  ASSERT_TRUE(EncodeToFile(image, path, format)) << LastImageError(image);
  Free(image);
}

struct RoadCase {
  const char* name;
  Kind kind;
  int width, height;
  TargetSize target;
  FitBasis basis;
};

std::string MakePhoto(const TempDir& dir, const RoadCase& c) {
  std::string path = dir / (std::string(c.name) + (c.kind == Kind::Bmp   ? ".bmp"
                                                    : c.kind == Kind::Png ? ".png"
                                                    : c.kind == Kind::Gif ? ".gif"
                                                                          : ".jpg"));
  auto pixels = testing::PhotoLike(c.width, c.height, 7);
  switch (c.kind) {
    case Kind::Jpeg:
      testing::WriteJpeg(path, c.width, c.height, pixels);
      break;
    case Kind::JpegProgressive:
      testing::WriteJpeg(path, c.width, c.height, pixels, JpegOptions{.progressive = true});
      break;
    case Kind::JpegGrey:
      testing::WriteJpeg(path, c.width, c.height, pixels, JpegOptions{.grey = true});
      break;
    case Kind::JpegRotated:  // stored sideways, shown upright: width and height swap
      testing::WriteJpeg(path, c.height, c.width, testing::PhotoLike(c.height, c.width, 7),
                         JpegOptions{.orientation = 6});
      break;
    case Kind::Bmp:
      testing::WriteBmp24(path, c.width, c.height, pixels);
      break;
    case Kind::Png:
      WriteThroughImageObject(path, c.width, c.height, IMAGE_FORMAT_PNG);
      break;
    case Kind::Gif:
      WriteThroughImageObject(path, c.width, c.height, IMAGE_FORMAT_GIF);
      break;
    case Kind::Text:
      testing::WriteFileBytes(path, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'h', 'o', 't', 'o', '\n'});
      break;
  }
  return path;
}

std::vector<std::uint8_t> EncodeBmp(ImageRef& image, const std::string& path) {
  SetXDPI(image, 381);
  SetYDPI(image, 381);
  EXPECT_TRUE(EncodeToFile(image, path, IMAGE_FORMAT_BMP)) << LastImageError(image);
  return testing::ReadFileBytes(path);
}

TEST(TrimRoads, StreamingEqualsDrawingByteForByte) {
  const TargetSize standard{154, 189};
  const RoadCase cases[] = {
      {"tall_cut_width", Kind::Jpeg, 300, 400, standard, FitBasis::Width},
      {"wide_bands_width", Kind::Jpeg, 400, 300, standard, FitBasis::Width},
      {"tall_bands_height", Kind::Jpeg, 300, 400, standard, FitBasis::Height},
      {"wide_cut_height", Kind::Jpeg, 400, 300, standard, FitBasis::Height},
      {"exact_aspect", Kind::Jpeg, 308, 378, standard, FitBasis::Width},
      {"odd_sizes", Kind::JpegProgressive, 333, 211, {37, 53}, FitBasis::Width},
      {"odd_sizes_height", Kind::JpegProgressive, 211, 333, {53, 37}, FitBasis::Height},
      {"enlarged", Kind::Jpeg, 61, 43, {200, 300}, FitBasis::Width},
      {"same_size", Kind::Jpeg, 154, 189, standard, FitBasis::Width},
      {"grey", Kind::JpegGrey, 257, 129, {64, 64}, FitBasis::Height},
      {"exif_rotated", Kind::JpegRotated, 240, 320, standard, FitBasis::Width},
      {"one_row", Kind::Jpeg, 500, 1, {10, 10}, FitBasis::Width},
      // Larger than the part read before decoding: the rest is read as it decodes.
      {"read_as_it_decodes", Kind::Jpeg, 1600, 1200, standard, FitBasis::Width},
      {"bmp_cut", Kind::Bmp, 301, 403, standard, FitBasis::Width},
      {"bmp_bands", Kind::Bmp, 403, 301, standard, FitBasis::Height},
      {"png_cut", Kind::Png, 250, 410, standard, FitBasis::Width},
      {"gif_bands", Kind::Gif, 170, 90, {60, 80}, FitBasis::Width},
      {"not_a_picture", Kind::Text, 0, 0, standard, FitBasis::Width},
  };
  TempDir dir;
  for (const RoadCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string photo = MakePhoto(dir, c);
    TrimWorker streaming(c.target, 0x00F0F0F0);
    TrimWorker drawing(c.target, 0x00F0F0F0);
    TrimOutcome fast = streaming.trim(photo, c.basis);
    TrimOutcome reference = drawing.trimReference(photo, c.basis);
    ASSERT_TRUE(fast.imageError.empty()) << fast.imageError;
    ASSERT_TRUE(reference.imageError.empty()) << reference.imageError;
    EXPECT_EQ(fast.readError.empty(), c.kind != Kind::Text) << fast.readError;
    EXPECT_EQ(fast.readError.empty(), reference.readError.empty());
    EXPECT_EQ(fast.photoWidth, reference.photoWidth);
    EXPECT_EQ(fast.photoHeight, reference.photoHeight);
    if (c.kind != Kind::Text) {
      EXPECT_EQ(fast.photoWidth, c.width);
      EXPECT_EQ(fast.photoHeight, c.height);
    }
    auto a = EncodeBmp(streaming.image(), dir / (std::string(c.name) + "_streaming.bmp"));
    auto b = EncodeBmp(drawing.image(), dir / (std::string(c.name) + "_drawing.bmp"));
    testing::BmpImage image;
    ASSERT_TRUE(testing::ParseBmp24(a, image));
    EXPECT_EQ(image.width, c.target.width);
    EXPECT_EQ(image.height, c.target.height);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_TRUE(a == b) << "the two roads disagree";
  }
}

// One worker trims photo after photo: nothing of an earlier photo may leak
// into a later one, whichever road and kind came before.
TEST(TrimRoads, WorkerReuseKeepsPhotosApart) {
  TempDir dir;
  const TargetSize target{40, 50};
  const RoadCase first{"first", Kind::Bmp, 90, 200, target, FitBasis::Width};
  const RoadCase second{"second", Kind::Jpeg, 200, 90, target, FitBasis::Width};
  const RoadCase third{"third", Kind::Text, 0, 0, target, FitBasis::Width};
  std::string paths[] = {MakePhoto(dir, first), MakePhoto(dir, second), MakePhoto(dir, third)};
  TrimWorker reused(target, 0x00F0F0F0);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    TrimWorker fresh(target, 0x00F0F0F0);
    reused.trim(paths[i], FitBasis::Width);
    fresh.trim(paths[i], FitBasis::Width);
    EXPECT_EQ(EncodeBmp(reused.image(), dir / "reused.bmp"), EncodeBmp(fresh.image(), dir / "fresh.bmp"));
  }
}

TEST(TrimRoads, UndecodablePhotoGivesBackgroundOnly) {
  TempDir dir;
  const std::string missing = dir / "missing.jpg";
  const std::string truncated = dir / "truncated.jpg";
  testing::WriteJpeg(truncated, 64, 64, testing::PhotoLike(64, 64));
  auto bytes = testing::ReadFileBytes(truncated);
  bytes.resize(40);  // the header stops in the middle
  testing::WriteFileBytes(truncated, bytes);
  for (const std::string& photo : {missing, truncated, dir.path().string()}) {
    SCOPED_TRACE(photo);
    TrimWorker worker({12, 7}, 0x00336699);
    TrimOutcome outcome = worker.trim(photo, FitBasis::Width);
    EXPECT_FALSE(outcome.readError.empty());
    EXPECT_TRUE(outcome.imageError.empty());
    testing::BmpImage image;
    ASSERT_TRUE(testing::ParseBmp24(EncodeBmp(worker.image(), dir / "out.bmp"), image));
    ASSERT_EQ(image.width, 12);
    ASSERT_EQ(image.height, 7);
    for (const auto& p : image.pixels) {
      ASSERT_EQ(p.r, 0x99);
      ASSERT_EQ(p.g, 0x66);
      ASSERT_EQ(p.b, 0x33);
    }
  }
}

}  // namespace
}  // namespace trimbrel
