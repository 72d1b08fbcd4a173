// Only one running program writes the settings file; a second instance, in
// this process or another, reads what it could load and writes to memory only.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

#include "ini_fixture.hpp"

namespace trimbrel::testing {
namespace {

// Runs `body` in a child process and returns its exit code (-1 when it died).
int InChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

using Lock = IniTest;

TEST_F(Lock, ASecondInstanceInThisProcessReadsButWritesMemoryOnly) {
  load("[s]\r\nk=1");
  ConfigModule second;
  EXPECT_FALSE(second.setPath(iniPath()));
  EXPECT_EQ(second.readEntry("s", "k", "d"), "1");
  EXPECT_EQ(second.writeEntry("s", "k", "2"), 0);
  EXPECT_EQ(second.readEntry("s", "k", "d"), "2");
  EXPECT_EQ(module.writeEntry("s", "m", "3"), 0);
  expectFile("[s]\r\nm=3\r\nk=1");

  // Another descriptor of the file opened and closed in this process (as a
  // per-process lock would lose it) leaves the lock in place.
  { std::ifstream peek(iniPath()); }
  ConfigModule third;
  EXPECT_FALSE(third.setPath(iniPath()));

  module.close();
  EXPECT_TRUE(third.setPath(iniPath()));
  EXPECT_EQ(third.readEntry("s", "m", "d"), "3");
}

TEST_F(Lock, AnotherProcessCannotOpenTheFileForWriting) {
  load("[s]\r\nk=1");
  const auto tryInChild = [&] {
    return InChild([&] {
      ConfigModule other;
      const bool opened = other.setPath(iniPath());
      const bool readable = other.readEntry("s", "k", "d") == "1";
      other.writeEntry("s", "k", "child");
      return (opened ? 1 : 0) | (readable ? 2 : 0);
    });
  };
  EXPECT_EQ(tryInChild(), 2);
  expectFile("[s]\r\nk=1");
  module.close();
  EXPECT_EQ(tryInChild(), 3);
  EXPECT_EQ(fileBytes(), "[s]\r\nk=child");
}

TEST_F(Lock, WhatCannotBeOpenedWorksInMemory) {
  const struct {
    const char* name;
    std::string path;
  } cases[] = {
      {"empty path", ""},
      {"missing folder", (dir.path() / "missing" / "Trimbrel.ini").string()},
      {"a folder", dir.path().string()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigModule memoryOnly;
    EXPECT_FALSE(memoryOnly.setPath(c.path));
    EXPECT_EQ(memoryOnly.readEntry("s", "k", "d"), "d");
    EXPECT_EQ(memoryOnly.writeEntry("s", "k", "v"), 0);
    EXPECT_EQ(memoryOnly.readEntry("s", "k", "d"), "v");
    EXPECT_EQ(ConfigModuleInspector::content(memoryOnly), "[s]\r\nk=v");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

// A text editor ignores the lock. What it saved must not be overwritten at
// offsets that no longer fit.
TEST_F(Lock, AFileChangedByAnotherProgramIsLeftAsThatProgramSavedIt) {
  const auto editedInPlace = [&] { std::ofstream(iniPath(), std::ios::app | std::ios::binary) << "\r\nx=1"; };
  const auto replacedByRename = [&] {
    WriteFileBytes(iniPath() + ".new", "[s]\r\nk=1\r\nx=1");
    std::filesystem::rename(iniPath() + ".new", iniPath());
  };
  for (const auto& edit : {std::function<void()>(editedInPlace), std::function<void()>(replacedByRename)}) {
    load("[s]\r\nk=1");
    edit();
    EXPECT_EQ(module.writeEntry("s", "k", "2"), -1);
    EXPECT_EQ(module.writeEntry("s", "m", "3"), 0);  // memory only from here on
    EXPECT_EQ(module.readEntry("s", "k", "d"), "2");
    EXPECT_EQ(fileBytes(), "[s]\r\nk=1\r\nx=1");
  }
}

// A write that the disk refuses (here a file-size limit) fails, leaves the
// file as it was, and stops further edits of a file that no longer matches.
TEST_F(Lock, AFailedDiskWriteIsReportedAndLeavesTheFileIntact) {
  const std::string before = "[s]\r\nk=1\r\n[t]\r\nm=2";
  WriteFileBytes(iniPath(), before);
  const int failures = InChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{before.size() + 8, before.size() + 8};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 100;
    ConfigModule child;
    if (!child.setPath(iniPath())) return 101;
    int failed = 0;
    if (child.writeEntry("s", "k", "12") != 0) failed |= 1;  // fits
    if (child.writeEntry("s", "k", std::string(14, 'x')) != -1) failed |= 2;
    if (child.readEntry("s", "k", "d") != std::string(14, 'x')) failed |= 4;
    if (ConfigModuleInspector::fileOpen(child)) failed |= 8;
    if (child.writeEntry("t", "m", "3") != 0) failed |= 16;  // memory only now
    return failed;
  });
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(fileBytes(), "[s]\r\nk=12\r\n[t]\r\nm=2");
  // The child's lock went with its file.
  EXPECT_TRUE(module.setPath(iniPath()));
}

}  // namespace
}  // namespace trimbrel::testing
