#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.hpp"

namespace trimbrel {
namespace {

namespace fs = std::filesystem;

class FileReader : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("trimbrel-file-reader-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string write(const std::string& name, const std::string& bytes) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  fs::path folder_;
};

TEST_F(FileReader, ReadsRegularFilesAndRefusesEverythingElse) {
  const std::string bytes("a\0b\r\nc", 6);
  const std::string text = write("text", bytes);
  const std::string empty = write("empty", "");
  const std::string pipe = (folder_ / "pipe").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  struct Case {
    std::string path;
    std::uint64_t bound;
    bool read;
    std::string expected;  // the bytes read, or the reason of the refusal
  };
  const Case cases[] = {
      {text, kMaxReadFileBytes, true, bytes},
      {text, 6, true, bytes},
      {text, 5, false, "too large: a file of 6 bytes"},
      {empty, 0, true, ""},
      {folder_.string(), kMaxReadFileBytes, false, "cannot open: a folder"},
      {pipe, kMaxReadFileBytes, false, "cannot open: not a regular file"},
      {(folder_ / "missing").string(), kMaxReadFileBytes, false, "cannot open: No such file or directory"},
      {"", kMaxReadFileBytes, false, "cannot open: no path"},
  };
  for (const Case& c : cases) {
    auto read = ReadWholeFile(c.path, c.bound);
    ASSERT_EQ(read.ok(), c.read) << c.path;
    EXPECT_EQ(read ? std::string(read.value().text()) : read.error().reason, c.expected) << c.path << " " << c.bound;
  }
}

TEST_F(FileReader, ReadsTheRestAfterAHeadAndKeepsLockedFilesWhole) {
  const std::string path = write("file", "header:body");
  auto file = InputFile::open(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file.value().size(), 11u);
  std::uint8_t head[7];
  auto got = file.value().read(head, sizeof head);
  ASSERT_TRUE(got);
  EXPECT_EQ(got.value(), 7u);
  auto rest = file.value().readRest();
  ASSERT_TRUE(rest);
  EXPECT_EQ(rest.value().text(), "body");
  EXPECT_TRUE(file.value().lockShared());

  // A writer's exclusive lock keeps readers out; through its own descriptor
  // the writer reads the whole file from the start wherever it stands.
  auto other = InputFile::open(path);
  ASSERT_TRUE(other);
  const int writer = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  file.value() = std::move(other.value());  // the first shared lock goes with its descriptor
  ASSERT_EQ(::flock(writer, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(file.value().lockShared());
  ASSERT_EQ(::lseek(writer, 5, SEEK_SET), 5);
  auto whole = ReadWholeDescriptor(writer);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole.value().text(), "header:body");
  ::close(writer);
}

// A head first, for a reader that takes the rest from the open file as it
// goes; or the head and the rest together, the whole file.
TEST_F(FileReader, ReadsAHeadAndThenTheRest) {
  const std::string path = write("photo", "0123456789");
  struct Case {
    std::size_t count;
    bool whole;
    const char* head;
  };
  const Case cases[] = {{4, false, "0123"}, {10, true, "0123456789"}, {64, true, "0123456789"}};
  for (const Case& c : cases) {
    auto head = ReadFileHead(path, c.count);
    ASSERT_TRUE(head) << c.count;
    EXPECT_EQ(head.value().whole(), c.whole) << c.count;
    EXPECT_EQ(head.value().bytes.text(), c.head) << c.count;
    if (!c.whole) {
      std::uint8_t next[2];
      auto got = head.value().file.read(next, 2);
      ASSERT_TRUE(got);
      EXPECT_EQ(std::string(next, next + got.value()), "45") << "the file stands just after the head";
      continue;
    }
    auto whole = ReadFileRest(head.value());
    ASSERT_TRUE(whole) << c.count;
    EXPECT_EQ(whole.value().text(), "0123456789") << c.count;
  }
  auto head = ReadFileHead(path, 3);
  ASSERT_TRUE(head);
  auto whole = ReadFileRest(head.value());
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole.value().text(), "0123456789");
  auto bounded = ReadFileHead(path, 3, 9);
  ASSERT_FALSE(bounded);
  EXPECT_EQ(bounded.error().reason, "too large: a file of 10 bytes");
}

TEST_F(FileReader, LargeBuffersHoldEveryByte) {
  // Past 2 MB the buffer is aligned for huge pages; the bytes are the file's all the same.
  std::string big(5 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + (i >> 12));
  auto read = ReadWholeFile(write("big", big));
  ASSERT_TRUE(read);
  EXPECT_TRUE(read.value().text() == big);
}

}  // namespace
}  // namespace trimbrel
