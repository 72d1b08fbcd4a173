// What the command line prints while it works, on a terminal and off one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "app/progress.hpp"

namespace trimbrel {
namespace {

std::string Contents(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
  return text;
}

PhotoReport Written(const std::string& photo, const std::string& output) {
  PhotoReport r;
  r.photo = photo;
  r.output = output;
  r.written = true;
  return r;
}

TEST(Progress, BarOnATerminalLinesOffIt) {
  PhotoReport bad = Written("/p/b.jpg", "/p/修剪结果/b.jpg");
  bad.readError = "unknown kind";
  PhotoReport blocked;
  blocked.photo = "/p/c.jpg";
  blocked.output = "/p/修剪结果/c.jpg";
  blocked.writeError = "Permission denied";

  for (bool terminal : {true, false}) {
    SCOPED_TRACE(terminal ? "terminal" : "pipe");
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ConsoleHost host({}, out, err, false, terminal);
    host.photoStarted(3, 1, "a.jpg");
    host.photoFinished(3, 1, Written("/p/a.jpg", "/p/修剪结果/a.jpg"));
    host.photoStarted(3, 2, "b.jpg");
    host.photoFinished(3, 2, bad);
    host.photoStarted(3, 3, "c.jpg");
    host.photoFinished(3, 3, blocked);
    host.runFinished({});
    EXPECT_EQ(Contents(out), "/p/修剪结果/a.jpg\n/p/修剪结果/b.jpg\n");
    const std::string text = Contents(err);
    EXPECT_NE(text.find("trimbrel: /p/b.jpg: cannot be read (unknown kind); wrote a picture of the band colour only\n"),
              std::string::npos) << text;
    EXPECT_NE(text.find("trimbrel: /p/c.jpg: not written to /p/修剪结果/c.jpg (Permission denied)\n"), std::string::npos)
        << text;
    if (terminal) {
      EXPECT_NE(text.find("] 3/3 "), std::string::npos) << text;
      EXPECT_NE(text.find("photos/s"), std::string::npos);
      EXPECT_NE(text.find(" left  c.jpg"), std::string::npos) << text;
      EXPECT_EQ(text.substr(text.size() - 4), "\r\033[K") << "the bar is cleared at the end";
    } else {
      EXPECT_EQ(text.find('\r'), std::string::npos);
      EXPECT_NE(text.find("1/3 /p/a.jpg\n"), std::string::npos) << text;
      EXPECT_NE(text.find("3/3 /p/c.jpg\n"), std::string::npos) << text;
    }
    std::fclose(out);
    std::fclose(err);
  }

  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ConsoleHost quiet({}, out, err, true, true);
  quiet.photoStarted(1, 1, "a.jpg");
  quiet.photoFinished(1, 1, Written("/p/a.jpg", "/p/x/a.jpg"));
  quiet.photoFinished(1, 1, bad);
  EXPECT_EQ(Contents(out), "/p/x/a.jpg\n/p/修剪结果/b.jpg\n");
  EXPECT_EQ(Contents(err), "trimbrel: /p/b.jpg: cannot be read (unknown kind); wrote a picture of the band colour only\n")
      << "quiet keeps the errors only";
  // An earlier result kept in place of the band colour is not listed.
  PhotoReport kept = bad;
  kept.written = false;
  kept.keptExisting = true;
  std::FILE* keptErr = std::tmpfile();
  ConsoleHost keeping({}, out, keptErr, true, false);
  keeping.photoFinished(1, 1, kept);
  EXPECT_EQ(Contents(out), "/p/x/a.jpg\n/p/修剪结果/b.jpg\n");
  EXPECT_EQ(Contents(keptErr), "trimbrel: /p/b.jpg: cannot be read (unknown kind); kept the existing /p/修剪结果/b.jpg\n");
  std::fclose(keptErr);
  std::fclose(out);
  std::fclose(err);
}

// Photos are given and written by relative names; what is shown is absolute
// when the working directory is known.
TEST(Progress, RelativeNamesAreShownAgainstTheWorkingDirectory) {
  PhotoReport bad = Written("b.jpg", "修剪结果/b.jpg");
  bad.readError = "unknown kind";
  for (const auto& [cwd, shownOutput, shownPhoto] :
       {std::tuple<std::string, std::string, std::string>{"/home/u", "/home/u/修剪结果/b.jpg", "/home/u/b.jpg"},
        {"", "修剪结果/b.jpg", "b.jpg"}}) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ConsoleHost host({}, out, err, true, false, '\n', cwd);
    host.photoFinished(1, 1, bad);
    EXPECT_EQ(Contents(out), shownOutput + "\n");
    EXPECT_EQ(Contents(err), "trimbrel: " + shownPhoto + ": cannot be read (unknown kind); wrote a picture of the band colour only\n");
    std::fclose(out);
    std::fclose(err);
  }
}

TEST(Progress, Durations) {
  const std::pair<double, const char*> cases[] = {
      {0, "0:00"}, {59.4, "0:59"}, {61, "1:01"}, {3600, "1:00:00"}, {-1, "--:--"}, {1e9, "--:--"}};
  for (const auto& [seconds, text] : cases) EXPECT_EQ(FormatDuration(seconds), text) << seconds;
}

}  // namespace
}  // namespace trimbrel
