#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/app.hpp"

namespace trimbrel {
namespace {

TEST(PathParts, SplitAtTheLastSlashAndDot) {
  struct Case {
    const char* path;
    const char* directory;
    const char* fileName;
    const char* baseName;
  } cases[] = {
      {"/a/b.jpg", "/a", "b.jpg", "b"},
      {"b.jpg", "", "b.jpg", "b"},
      {"/photos/x.y.jpg", "/photos", "x.y.jpg", "x.y"},
      {"/photos/README", "/photos", "README", "README"},
      {"/b.jpg", "", "b.jpg", "b"},
      {"/a.d/b", "/a.d", "b", "b"},  // a dot in a folder is no extension
      {"/a/", "/a", "", ""},
      {"", "", "", ""},
      {"/照片/修剪.jpg", "/照片", "修剪.jpg", "修剪"},
      {"/a/.hidden", "/a", ".hidden", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.directory, DirectoryOf(c.path)) << "path=\"" << c.path << "\"";
    EXPECT_EQ(c.fileName, FileNameOf(c.path)) << "path=\"" << c.path << "\"";
    EXPECT_EQ(c.baseName, BaseNameOf(c.path)) << "path=\"" << c.path << "\"";
  }
}

class CreateDirectoriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "trimbrel-paths-XXXXXX").string();
    ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
    root_ = pattern;
  }
  void TearDown() override {
    if (root_.empty()) return;
    ::chmod(root_.c_str(), 0700);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_))
      if (entry.is_directory()) ::chmod(entry.path().c_str(), 0700);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  static bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  std::string root_;
};

TEST_F(CreateDirectoriesTest, CreatesEveryLevelFollowedByASlash) {
  const std::string out = root_ + "/photos/修剪结果/";
  EXPECT_TRUE(CreateDirectories(out).ok());
  EXPECT_TRUE(IsDirectory(root_ + "/photos"));
  EXPECT_TRUE(IsDirectory(root_ + "/photos/修剪结果"));
  // Existing levels are reused.
  EXPECT_TRUE(CreateDirectories(out).ok());
  // Without a final slash the last level is a name, not a folder to make.
  EXPECT_TRUE(CreateDirectories(root_ + "/a/b/c").ok());
  EXPECT_TRUE(IsDirectory(root_ + "/a/b"));
  EXPECT_FALSE(std::filesystem::exists(root_ + "/a/b/c"));
}

TEST_F(CreateDirectoriesTest, RelativePathsStartInTheCurrentDirectory) {
  const std::string before = std::filesystem::current_path().string();
  ASSERT_EQ(0, ::chdir(root_.c_str()));
  const bool made = CreateDirectories("rel/sub/").ok();
  ASSERT_EQ(0, ::chdir(before.c_str()));
  EXPECT_TRUE(made);
  EXPECT_TRUE(IsDirectory(root_ + "/rel/sub"));
}

TEST_F(CreateDirectoriesTest, AFileInThePathIsAFailure) {
  const std::string file = root_ + "/taken";
  const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_FALSE(CreateDirectories(file + "/").ok());          // the last level is a file
  EXPECT_FALSE(CreateDirectories(file + "/deeper/").ok());   // a middle level is a file
  EXPECT_FALSE(std::filesystem::exists(file + "/deeper"));
  // The reason names the level only when it is not the folder asked for.
  const Result<void> last = CreateDirectories(file + "/");
  ASSERT_FALSE(last.ok());
  EXPECT_EQ(last.error().reason, "not a directory");
  const Result<void> middle = CreateDirectories(file + "/deeper/more/");
  ASSERT_FALSE(middle.ok());
  EXPECT_EQ(middle.error().reason, file + ": not a directory");
  EXPECT_TRUE(CreateDirectories(root_ + "/fine/").ok());
}

TEST_F(CreateDirectoriesTest, StopsAtALevelThatCannotBeCreated) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  const std::string locked = root_ + "/locked";
  ASSERT_EQ(0, ::mkdir(locked.c_str(), 0500));
  EXPECT_FALSE(CreateDirectories(locked + "/out/more/").ok());
  EXPECT_FALSE(std::filesystem::exists(locked + "/out"));
  const Result<void> refused = CreateDirectories(locked + "/out/");
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().reason, "permission denied");
  // A folder that is already there is fine even under a read-only parent.
  ASSERT_EQ(0, ::chmod(locked.c_str(), 0700));
  ASSERT_EQ(0, ::mkdir((locked + "/out").c_str(), 0700));
  ASSERT_EQ(0, ::chmod(locked.c_str(), 0500));
  EXPECT_TRUE(CreateDirectories(locked + "/out/").ok());
}

}  // namespace
}  // namespace trimbrel
