#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace trimbrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ByteOrder, LittleEndianBothWays) {
  const Bytes bytes = {0x01, 0x02, 0x03, 0x84};
  EXPECT_EQ(LoadLe16(bytes.data()), 0x0201u);
  EXPECT_EQ(LoadLe32(bytes.data()), 0x84030201u);
  std::uint8_t stored[4] = {};
  StoreLe32(stored, 0x84030201u);
  EXPECT_EQ(Bytes(stored, stored + 4), bytes);
  StoreLe16(stored, 0xBEEF);
  EXPECT_EQ(stored[0], 0xEF);
  EXPECT_EQ(stored[1], 0xBE);
}

// Header fields read one after the other and checked once: whatever read
// runs past the end, `failed()` says so afterwards. Fields read before it
// hold the file's values; what is read after it means nothing.
TEST(ByteReader, RemembersTheFirstReadPastTheEnd) {
  const Bytes header = {0x42, 0x4D, 0x10, 0x00, 0x20, 0x00, 0x00, 0x00, 0xFF};
  const std::uint32_t fields[] = {0x4D42, 0x0010, 0x20, 0xFF};
  struct Case {
    std::size_t length;  // of the header given to the reader
    int whole;           // fields that are there
  };
  const Case cases[] = {{9, 4}, {8, 3}, {5, 2}, {3, 1}, {1, 0}, {0, 0}};
  for (const Case& c : cases) {
    ByteReader reader(std::span<const std::uint8_t>(header.data(), c.length));
    const std::uint32_t read[] = {reader.getWordLe(), reader.getWordLe(), reader.getDwordLe(), reader.get()};
    EXPECT_EQ(reader.failed(), c.whole < 4) << "length " << c.length;
    for (int k = 0; k < c.whole; ++k) EXPECT_EQ(read[k], fields[k]) << "length " << c.length << ", field " << k;
    if (c.whole < 4) {
      EXPECT_EQ(read[c.whole], 0u) << "length " << c.length << ": the field cut short reads 0";
    }
  }
}

TEST(ByteReader, SeeksAndSkipsPastTheEndCountAsFailures) {
  const Bytes bytes(4, 0);
  ByteReader seek(bytes);
  EXPECT_TRUE(seek.seek(4));
  EXPECT_FALSE(seek.failed());
  EXPECT_FALSE(seek.seek(5));
  EXPECT_TRUE(seek.failed());
  ByteReader skip(bytes);
  EXPECT_FALSE(skip.skip(5));
  EXPECT_TRUE(skip.failed());
  EXPECT_EQ(skip.position(), 0u);
  // A failure stays remembered even when later reads fit again.
  EXPECT_TRUE(skip.u32le());
  EXPECT_TRUE(skip.failed());
  ByteReader view(bytes);
  EXPECT_FALSE(view.bytes(5));
  EXPECT_TRUE(view.failed());
}

Result<int> Half(int n) {
  if (n % 2 != 0) return Fail(std::to_string(n) + " is odd");
  return n / 2;
}

// Halves twice in two lines; the first odd number ends it with its reason.
Result<int> Quarter(int n) {
  TRIMBREL_TRY_ASSIGN(const int half, Half(n));
  TRIMBREL_TRY_ASSIGN(const int quarter, Half(half));
  return quarter;
}

TEST(Result, TryAssignTakesTheValueOrReturnsTheError) {
  struct Case {
    int n;
    bool ok;
    int quarter;
    const char* reason;
  };
  const Case cases[] = {{12, true, 3, ""}, {6, false, 0, "3 is odd"}, {5, false, 0, "5 is odd"}};
  for (const Case& c : cases) {
    const Result<int> r = Quarter(c.n);
    ASSERT_EQ(r.ok(), c.ok) << c.n;
    EXPECT_EQ(r ? std::to_string(r.value()) : r.error().reason, r ? std::to_string(c.quarter) : c.reason) << c.n;
  }
}

}  // namespace
}  // namespace trimbrel
