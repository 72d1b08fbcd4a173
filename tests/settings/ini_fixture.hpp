// Shared helpers of the settings tests: a scratch folder per test, whole-file
// reads and writes, GBK literals, and the check that disk equals memory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "settings/config_module.hpp"
#include "settings/config_module_inspector.hpp"

namespace trimbrel::testing {

// GBK bytes of a UTF-8 literal.
std::string G(std::string_view utf8);

// Lines joined with CR LF, none after the last.
std::string Lines(std::initializer_list<std::string> lines);

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

// Makes bytes readable in a failure message ("\r\n" shown as is).
std::string Shown(std::string_view bytes);

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A test with one settings file "Trimbrel.ini" in a scratch folder.
class IniTest : public ::testing::Test {
 protected:
  std::string iniPath() const { return (dir.path() / "Trimbrel.ini").string(); }
  std::string fileBytes() const { return ReadFileBytes(iniPath()); }
  const std::string& memory() const { return ConfigModuleInspector::content(module); }

  // Writes `bytes` as the settings file and opens it.
  void load(std::string_view bytes) {
    WriteFileBytes(iniPath(), bytes);
    ASSERT_TRUE(module.setPath(iniPath()));
    ASSERT_EQ(memory(), bytes);
  }

  // The file must equal `expected` and the memory copy, byte for byte.
  void expectFile(std::string_view expected) {
    const std::string onDisk = fileBytes();
    EXPECT_EQ(Shown(onDisk), Shown(expected));
    EXPECT_EQ(Shown(memory()), Shown(onDisk)) << "memory and disk differ";
  }

  ScratchDir dir;
  ConfigModule module;
};

}  // namespace trimbrel::testing
