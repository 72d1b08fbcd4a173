// Byte blocks in side files beside the settings file.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ini_fixture.hpp"
#include "settings/side_files.hpp"

namespace trimbrel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SideFilePath, IsBuiltBesideTheSettingsFileInUtf8) {
  const struct {
    std::string iniPath, section, key;
    std::optional<std::string> expected;
  } cases[] = {
      {"/opt/t/Trimbrel.ini", "s", "k", "/opt/t/inibin/s-k.ibn"},
      {"/Trimbrel.ini", "s", "k", "/inibin/s-k.ibn"},
      {"Trimbrel.ini", "s", "k", "inibin/s-k.ibn"},
      {"rel/Trimbrel.ini", "", "k", "rel/inibin/-k.ibn"},
      {"/t/Trimbrel.ini", G("主界面"), G("组合框单位.列表"), "/t/inibin/主界面-组合框单位.列表.ibn"},
      {"/t/Trimbrel.ini", "s", "a\\b", "/t/inibin/s-a\\b.ibn"},  // an ordinary character here
      {"/t/Trimbrel.ini", "s", "..x", "/t/inibin/s-..x.ibn"},
      {"", "s", "k", std::nullopt},
      {"/t/Trimbrel.ini", "s", "a/b", std::nullopt},
      {"/t/Trimbrel.ini", "../..", "k", std::nullopt},
      {"/t/Trimbrel.ini", "s", "..", std::nullopt},
      {"/t/Trimbrel.ini", "..", "k", std::nullopt},
      {"/t/Trimbrel.ini", "s", std::string("k\0/x", 4), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.iniPath + " | " + c.section + " | " + c.key);
    EXPECT_EQ(SideFilePath(c.iniPath, c.section, c.key), c.expected);
  }
}

class SideFiles : public IniTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module.setPath(iniPath()));
    module.setSection(G("主界面"));
  }
  std::filesystem::path sideFile(const std::string& name) const { return dir.path() / "inibin" / name; }
};

TEST_F(SideFiles, BlocksAreStoredAsExactBytes) {
  const Bytes block = {0x00, 0xFF, '\r', '\n', 0x80, 'a', 0x00};
  EXPECT_TRUE(module.writeBlock(G("组合框单位.列表"), block));
  const auto path = sideFile("主界面-组合框单位.列表.ibn");
  EXPECT_EQ(ReadFileBytes(path), std::string(block.begin(), block.end()));
  EXPECT_EQ(module.readBlock(G("组合框单位.列表"), {'d'}), block);
  // Rewritten whole: a shorter block leaves nothing of the longer one.
  EXPECT_TRUE(module.writeBlock(G("组合框单位.列表"), {'x'}));
  EXPECT_EQ(ReadFileBytes(path), "x");
  // Nothing of it went into the settings file.
  expectFile("");
}

TEST_F(SideFiles, AnEmptyBlockLeavesAnEmptyFileThatReadsAsMissing) {
  EXPECT_TRUE(module.writeBlock("k", {}));
  EXPECT_TRUE(std::filesystem::exists(sideFile("主界面-k.ibn")));
  EXPECT_EQ(std::filesystem::file_size(sideFile("主界面-k.ibn")), 0u);
  EXPECT_EQ(module.readBlock("k", {'c', 'u', 'r'}), (Bytes{'c', 'u', 'r'}));
  EXPECT_EQ(module.readBlock("never written", {'d'}), Bytes{'d'});
}

TEST_F(SideFiles, EachSectionHasItsOwnFile) {
  EXPECT_TRUE(module.writeBlock("k", {'1'}));
  module.setSection("other");
  EXPECT_TRUE(module.writeBlock("k", {'2'}));
  EXPECT_EQ(module.readBlock("k", {}), Bytes{'2'});
  module.setSection(G("主界面"));
  EXPECT_EQ(module.readBlock("k", {}), Bytes{'1'});
  EXPECT_EQ(ReadFileBytes(sideFile("other-k.ibn")), "2");
}

TEST_F(SideFiles, NamesThatWouldLeaveTheFolderAreRefused) {
  for (const std::string key : {"../escape", "sub/k", ".."}) {
    SCOPED_TRACE(key);
    EXPECT_FALSE(module.writeBlock(key, {'x'}));
    EXPECT_EQ(module.readBlock(key, {'d'}), Bytes{'d'});
  }
  module.setSection("..");
  EXPECT_FALSE(module.writeBlock("k", {'x'}));
  // Nothing was written anywhere: only the settings file is in the folder.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"Trimbrel.ini"});
}

TEST_F(SideFiles, OnlyOneFolderLevelIsCreated) {
  ConfigModule deeper;
  const auto iniPath = dir.path() / "missing" / "Trimbrel.ini";
  EXPECT_FALSE(deeper.setPath(iniPath.string()));
  EXPECT_FALSE(deeper.writeBlock("k", {'x'}));
  EXPECT_EQ(deeper.readBlock("k", {'d'}), Bytes{'d'});
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

TEST_F(SideFiles, NoSettingsPathMeansNoSideFiles) {
  ConfigModule unset;
  EXPECT_FALSE(unset.writeBlock("k", {'x'}));
  EXPECT_EQ(unset.readBlock("k", {'d'}), Bytes{'d'});
}

}  // namespace
}  // namespace trimbrel::testing
