// The open, locked settings file and the reasons it gives when it refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ini_fixture.hpp"
#include "settings/store_file.hpp"

namespace trimbrel::testing {
namespace {

TEST(StoreFile, SaysWhyItRefuses) {
  ScratchDir dir;
  const std::string path = (dir.path() / "Trimbrel.ini").string();
  WriteFileBytes(path, "[a]\r\nk=1\r\n");

  StoreFile first;
  ASSERT_TRUE(first.open(path));
  auto read = first.readAll();
  ASSERT_TRUE(read);
  EXPECT_EQ(read.value(), "[a]\r\nk=1\r\n");

  StoreFile second;
  auto locked = second.open(path);
  ASSERT_FALSE(locked);
  EXPECT_EQ(locked.error().reason, "locked by another program");
  EXPECT_FALSE(second.isOpen());
  auto closed = second.readAll();
  ASSERT_FALSE(closed);
  EXPECT_EQ(closed.error().reason, "not open");

  StoreFile folder;
  auto notAFile = folder.open(dir.path().string());
  ASSERT_FALSE(notAFile);
  EXPECT_EQ(notAFile.error().reason.rfind("cannot open: ", 0), 0u) << notAFile.error().reason;

  // An edit against a size the file no longer has changes nothing.
  auto stale = first.replace(5, 3, "k=22", 9);
  ASSERT_FALSE(stale);
  EXPECT_EQ(stale.error().reason, "changed by another program");
  EXPECT_EQ(ReadFileBytes(path), "[a]\r\nk=1\r\n");
  ASSERT_TRUE(first.replace(5, 3, "k=22", 10));
  EXPECT_EQ(ReadFileBytes(path), "[a]\r\nk=22\r\n");

  // Replaced behind its back: the open file is no longer the one at the path.
  std::filesystem::rename(path, (dir.path() / "old.ini").string());
  WriteFileBytes(path, "[b]\r\n");
  auto moved = first.replace(0, 0, "x", 11);
  ASSERT_FALSE(moved);
  EXPECT_EQ(moved.error().reason, "replaced or removed");
  EXPECT_EQ(ReadFileBytes(path), "[b]\r\n");
}

}  // namespace
}  // namespace trimbrel::testing
