#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <string>

#include "platform/platform.hpp"

namespace trimbrel {
namespace {

TEST(SystemReason, TheSystemsWordsInsideAMessage) {
  struct Case {
    int code;
    const char* words;
  };
  const Case cases[] = {
      {ENOSPC, "no space left on device"},
      {EACCES, "permission denied"},
      {EROFS, "read-only file system"},
      {ENOTDIR, "not a directory"},
      {EDQUOT, "disk quota exceeded"},
      {EIO, "input/output error"},
      {EFBIG, "file too large"},
      {EDOTDOT, "RFS specific error"},  // a leading abbreviation keeps its capitals
      {999999, "error 999999"},
      {-3, "error -3"},
  };
  for (const Case& c : cases) EXPECT_EQ(SystemReason(c.code), c.words) << c.code;
}

TEST(SystemReason, IgnoresTheProcessLocale) {
  const char* names[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "zh_CN.UTF-8", "es_ES.UTF-8", "ru_RU.UTF-8"};
  const char* chosen = nullptr;
  for (const char* name : names) {
    if (std::setlocale(LC_ALL, name) == nullptr) continue;
    if (std::string(std::strerror(ENOSPC)) != "No space left on device") {
      chosen = name;
      break;
    }
  }
  if (chosen == nullptr) {
    std::setlocale(LC_ALL, "C");
    GTEST_SKIP() << "no installed locale translates the system's messages";
  }
  const std::string words = SystemReason(ENOSPC);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(words, "no space left on device") << chosen;
}

}  // namespace
}  // namespace trimbrel
