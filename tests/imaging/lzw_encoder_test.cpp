#include "imaging/lzw_encoder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "imaging/giflib_decode.hpp"

namespace trimbrel {
namespace {

class VectorSource final : public PixelSource {
 public:
  explicit VectorSource(const std::vector<int>& pixels) : pixels_(pixels) {}
  int nextPixel() override { return at_ < pixels_.size() ? pixels_[at_++] : -1; }

 private:
  const std::vector<int>& pixels_;
  std::size_t at_ = 0;
};

std::vector<std::uint8_t> Compress(LzwEncoder& encoder, const std::vector<int>& pixels) {
  VectorSource source(pixels);
  MemorySink sink;
  EXPECT_TRUE(encoder.compressLzw(source, sink));
  return sink.take();
}

std::vector<std::uint8_t> Compress(const std::vector<int>& pixels) {
  LzwEncoder encoder;
  return Compress(encoder, pixels);
}

// Packs fixed-width codes from the least significant bit, as GIF does.
std::vector<std::uint8_t> PackCodes(const std::vector<int>& codes, int width) {
  std::vector<std::uint8_t> bytes;
  std::uint32_t bits = 0;
  int count = 0;
  for (int code : codes) {
    bits |= static_cast<std::uint32_t>(code) << count;
    count += width;
    while (count >= 8) {
      bytes.push_back(static_cast<std::uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  }
  if (count > 0) bytes.push_back(static_cast<std::uint8_t>(bits));
  return bytes;
}

// Splits data sub-blocks and checks that only the last one is shorter
// than 254 bytes; returns the joined payload.
std::vector<std::uint8_t> JoinSubBlocks(const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> payload;
  std::size_t at = 0;
  while (at < data.size()) {
    const std::size_t length = data[at];
    EXPECT_GE(length, 1u) << "empty sub-block at " << at;
    EXPECT_LE(length, 254u) << "at " << at;
    EXPECT_LE(at + 1 + length, data.size()) << "sub-block runs past the data at " << at;
    if (at + 1 + length < data.size()) {
      EXPECT_EQ(length, 254u) << "short sub-block before the last one, at " << at;
    }
    for (std::size_t i = at + 1; i < at + 1 + length && i < data.size(); ++i) payload.push_back(data[i]);
    at += 1 + length;
  }
  return payload;
}

// A one-frame GIF with a 256-entry global table around the compressed data,
// so that giflib can decode it.
std::vector<std::uint8_t> WrapAsGif(const std::vector<std::uint8_t>& data, int width, int height) {
  std::vector<std::uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a'};
  auto word = [&gif](int v) {
    gif.push_back(static_cast<std::uint8_t>(v));
    gif.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  word(width);
  word(height);
  gif.insert(gif.end(), {0xF7, 0, 0});
  for (int i = 0; i < 256; ++i) gif.insert(gif.end(), 3, static_cast<std::uint8_t>(i));
  gif.push_back(0x2C);
  word(0);
  word(0);
  word(width);
  word(height);
  gif.push_back(0x00);
  gif.push_back(8);
  gif.insert(gif.end(), data.begin(), data.end());
  gif.push_back(0x00);
  gif.push_back(0x3B);
  return gif;
}

TEST(LzwEncoder, OnePixelIsClearPixelEnd) {
  EXPECT_EQ(Compress({1}), (std::vector<std::uint8_t>{0x04, 0x00, 0x03, 0x04, 0x04}));
}

// Pixel pairs (16, 1), (0, 0) and (32, 2) all hash to slot 0. The entry for
// (0, 0) lands in the probe slot 5002 with the value 0, so the probe for
// (32, 2) stops there and takes the slot over; the next (0, 0) is then not
// found and gets a fresh code 264, which the final (0, 0) uses.
TEST(LzwEncoder, ProbeStopsAtASlotHoldingZero) {
  const std::vector<int> pixels = {16, 1, 0, 0, 32, 2, 0, 0, 0};
  const std::vector<int> codes = {256, 16, 1, 0, 0, 32, 2, 0, 264, 257};
  std::vector<std::uint8_t> expected = PackCodes(codes, 9);
  expected.insert(expected.begin(), static_cast<std::uint8_t>(expected.size()));
  const std::vector<std::uint8_t> data = Compress(pixels);
  EXPECT_EQ(data, expected);

  std::string error;
  const auto decoded = testing::DecodeWithGiflib(WrapAsGif(data, 9, 1), error);
  ASSERT_TRUE(decoded) << error;
  ASSERT_EQ(decoded->frames.size(), 1u);
  EXPECT_EQ(decoded->frames[0].indices, std::vector<std::uint8_t>(pixels.begin(), pixels.end()));
}

// Long inputs grow the codes to 12 bits and fill the table, which forces
// clear codes; giflib must still read back every index.
TEST(LzwEncoder, LongInputsDecodeExactlyWithGiflib) {
  std::mt19937 random(7);
  struct Case {
    const char* name;
    int count;
    std::vector<int> alphabet;  // values drawn from, empty for 0..255
    int maxRun;
  };
  const std::vector<Case> cases = {
      {"noise", 20000, {}, 1},
      {"runs of three values", 60000, {0, 1, 2}, 40},
      {"values colliding in slot 0", 30000, {0, 16, 32, 1, 2}, 3},
      {"one value", 70000, {0}, 1},
      {"short", 3, {}, 1},
  };
  for (const Case& c : cases) {
    std::vector<int> pixels;
    while (static_cast<int>(pixels.size()) < c.count) {
      const int value = c.alphabet.empty() ? static_cast<int>(random() % 256)
                                           : c.alphabet[random() % c.alphabet.size()];
      const int run = 1 + static_cast<int>(random() % static_cast<unsigned>(c.maxRun));
      for (int r = 0; r < run && static_cast<int>(pixels.size()) < c.count; ++r) pixels.push_back(value);
    }
    const std::vector<std::uint8_t> data = Compress(pixels);
    JoinSubBlocks(data);
    const int width = c.count >= 100 ? 100 : c.count;
    std::string error;
    const auto decoded = testing::DecodeWithGiflib(WrapAsGif(data, width, c.count / width), error);
    ASSERT_TRUE(decoded) << c.name << ": " << error;
    ASSERT_EQ(decoded->frames.size(), 1u) << c.name;
    EXPECT_EQ(decoded->frames[0].indices, std::vector<std::uint8_t>(pixels.begin(), pixels.end())) << c.name;
  }
}

TEST(LzwEncoder, NoiseFillsWholeSubBlocks) {
  std::mt19937 random(3);
  std::vector<int> pixels(5000);
  for (int& p : pixels) p = static_cast<int>(random() % 256);
  const std::vector<std::uint8_t> data = Compress(pixels);
  ASSERT_GT(data.size(), 2 * 255u);
  EXPECT_EQ(data[0], 254);
  EXPECT_EQ(data[255], 254);
  JoinSubBlocks(data);
}

// The tables are reset, not rebuilt, between images: a used encoder must
// produce what a fresh one does.
TEST(LzwEncoder, ReusedEncoderMatchesAFreshOne) {
  std::mt19937 random(11);
  std::vector<int> first(9000);
  for (int& p : first) p = static_cast<int>(random() % 7);
  std::vector<int> second(255);
  for (int& p : second) p = static_cast<int>(random() % 5) * 16;

  LzwEncoder reused;
  Compress(reused, first);
  EXPECT_EQ(Compress(reused, second), Compress(second));
}

class FailingSink final : public ByteSink {
 public:
  void write(std::span<const std::uint8_t>) override { failed_ = true; }
  bool failed() const override { return failed_; }

 private:
  bool failed_ = false;
};

TEST(LzwEncoder, ReportsAFailedSink) {
  const std::vector<int> pixels = {1, 2, 3};
  VectorSource source(pixels);
  FailingSink sink;
  LzwEncoder encoder;
  EXPECT_FALSE(encoder.compressLzw(source, sink));
}

}  // namespace
}  // namespace trimbrel
