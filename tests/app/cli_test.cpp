// The built executable, run the way users run it: options, stdout, stderr
// and exit status.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/app.hpp"
#include "imaging/imaging.hpp"
#include "photo_fixtures.hpp"

namespace trimbrel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
  std::vector<std::string> outLines() const {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

constexpr int kTimedOut = 124;  // the status timeout(1) gives a command it had to stop

// Runs trimbrel after the shell commands `enter` (which change to its
// folder) with stdout and stderr captured in files (so stderr is never a
// terminal). One that hangs is stopped after a minute.
Outcome TrimbrelAfter(const std::string& enter, const std::vector<std::string>& args) {
  const char* binary = std::getenv("TRIMBREL_BINARY");
  EXPECT_NE(binary, nullptr) << "TRIMBREL_BINARY is not set";
  if (binary == nullptr) return {};
  TempDir capture;
  std::string command = enter + " && timeout -k 5 60 " + Quote(binary);
  for (const auto& a : args) command.append(" ").append(Quote(a));
  command += " >" + Quote(capture / "out") + " 2>" + Quote(capture / "err") + " </dev/null";
  int raw = std::system(command.c_str());
  Outcome run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = Slurp(capture.path() / "out");
  run.err = Slurp(capture.path() / "err");
  return run;
}

// `noDisplay` hides every display from it.
Outcome Trimbrel(const fs::path& cwd, const std::vector<std::string>& args, bool noDisplay = false) {
  return TrimbrelAfter("cd " + Quote(cwd.string()) + (noDisplay ? " && unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM" : ""),
                       args);
}

std::size_t CountEntries(const fs::path& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(Cli, UsageHelpAndVersion) {
  TempDir dir;
  // Without arguments the window opens; with no display for it, the program
  // says so and shows how to trim from the command line instead.
  Outcome none = Trimbrel(dir.path(), {}, /*noDisplay=*/true);
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("no display"), std::string::npos) << none.err;
  EXPECT_NE(none.err.find("--help"), std::string::npos) << none.err;
  EXPECT_TRUE(none.out.empty());
  Outcome optionsOnly = Trimbrel(dir.path(), {"-f", "png", "-q"});
  EXPECT_EQ(optionsOnly.status, 2);
  EXPECT_NE(optionsOnly.err.find("Usage: trimbrel"), std::string::npos);
  EXPECT_TRUE(optionsOnly.out.empty());
  Outcome help = Trimbrel(dir.path(), {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--dry-run"), std::string::npos);
  EXPECT_NE(help.out.find("-0, --null"), std::string::npos);
  EXPECT_NE(help.out.find("names with newlines need it"), std::string::npos);
  Outcome version = Trimbrel(dir.path(), {"-V"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("trimbrel ") + ProgramVersion() + "\n");
  // --window goes to the window even with photos, so it too needs a display.
  Outcome window = Trimbrel(dir.path(), {"-w", "a.jpg"}, /*noDisplay=*/true);
  EXPECT_EQ(window.status, 2);
  EXPECT_NE(window.err.find("no display"), std::string::npos) << window.err;
  EXPECT_EQ(CountEntries(dir.path()), 0u);
}

// What --window hands to the window: absolute photos in their order, and
// the window's exit status back. Options that shape a headless run are
// refused with it, since the window runs with its own saved inputs.
TEST(Cli, WindowOptionHandsAbsolutePhotosToTheWindow) {
  TempDir dir;
  fs::create_directories(dir.path() / "photos");
  const std::string here = (dir.path() / "photos").string();
  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<std::vector<std::string>> opened;  // what the window was given, per call
  };
  const Case cases[] = {
      {{"-w", "a.jpg", "./b.jpg", "../c.jpg", "/elsewhere/d.jpg"},
       7,
       {{here + "/a.jpg", here + "/b.jpg", here + "/../c.jpg", "/elsewhere/d.jpg"}}},
      {{"--window"}, 7, {{}}},
      {{"a.jpg", "--window", "--", "-odd.jpg"}, 7, {{here + "/a.jpg", here + "/-odd.jpg"}}},
      {{"-w", "-f", "png", "a.jpg"}, 2, {}},
      {{"-wq", "a.jpg"}, 2, {}},
      {{"--jobs=2", "-w", "a.jpg"}, 2, {}},
      {{"-w", "--help"}, 0, {}},
      {{"-n", "a.jpg"}, 1, {}},  // no --window: a headless dry run, a.jpg cannot be read
  };
  const fs::path before = fs::current_path();
  fs::current_path(here);
  for (const Case& c : cases) {
    std::vector<std::vector<std::string>> opened;
    const WindowOpener fake = [&opened](const std::vector<std::string>& photos) {
      opened.push_back(photos);
      return 7;
    };
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_TRUE(out && err);
    const int status = RunCommandLine(c.args, out, err, fake);
    std::fseek(err, 0, SEEK_SET);
    char line[512] = {};
    const std::size_t n = std::fread(line, 1, sizeof line - 1, err);
    std::fclose(out);
    std::fclose(err);
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "") + ": " + std::string(line, n));
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(opened, c.opened);
    if (c.status == 2) {
      EXPECT_NE(std::string(line, n).find("--window"), std::string::npos);
    }
  }
  fs::current_path(before);
  EXPECT_EQ(CountEntries(dir.path() / "photos"), 0u);
}

TEST(Cli, BadUsageExitsTwoAndWritesNothing) {
  TempDir dir;
  testing::WriteJpeg(dir / "a.jpg", 20, 20, testing::PhotoLike(20, 20));
  struct Case {
    std::vector<std::string> args;
    std::string message;  // part of the one stderr line
  };
  const Case cases[] = {
      {{"--unit", "mm", "a.jpg"}, "unknown unit"},
      {{"-f", "webp", "a.jpg"}, "unknown format \"webp\" (bmp, jpg, gif, tiff or png)"},
      {{"-b", "diagonal", "a.jpg"}, "unknown basis"},
      {{"-j", "0", "a.jpg"}, "--jobs"},
      {{"--background", "F0F0F", "a.jpg"}, "--background"},
      {{"--colour", "a.jpg"}, "unknown option --colour"},
      {{"-x", "a.jpg"}, "unknown option -x"},
      {{"a.jpg", "-W"}, "-W needs a value"},
      {{"-q", "--fast=yes", "a.jpg"}, "takes no value"},
      // Refused target sizes, read like the window's boxes.
      {{"-W", "abc", "a.jpg"}, "width"},
      {{"-u", "px", "-W", "100", "-H", "0", "a.jpg"}, "height"},
      {{"-u", "px", "-W", "70000", "-H", "10", "a.jpg"}, "width"},
      {{"-n", "-u", "px", "-W", "20000", "-H", "20000", "a.jpg"}, ""},
  };
  for (const Case& c : cases) {
    Outcome run = Trimbrel(dir.path(), c.args);
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + ": " + run.err);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos);
    EXPECT_TRUE(run.out.empty());
  }
  EXPECT_EQ(CountEntries(dir.path()), 1u);  // no results folder
}

TEST(Cli, RelativePhotosAndDefaults) {
  TempDir dir;
  fs::create_directories(dir.path() / "photos");
  testing::WriteJpeg(dir / "photos/a.jpg", 300, 400, testing::PhotoLike(300, 400));
  testing::WriteJpeg(dir / "photos/b.c.jpg", 400, 300, testing::PhotoLike(400, 300));
  Outcome run = Trimbrel(dir.path() / "photos", {"a.jpg", "./b.c.jpg"});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string folder = (dir.path() / "photos" / "修剪结果").string();
  EXPECT_EQ(run.outLines(), (std::vector<std::string>{folder + "/a.jpg", folder + "/b.c.jpg"}));
  // Not a terminal: one line per finished photo.
  EXPECT_NE(run.err.find("1/2 "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("2/2 "), std::string::npos) << run.err;
  for (const auto& line : run.outLines()) {
    auto picture = DecodePictureFile(line);
    ASSERT_TRUE(picture) << line;
    EXPECT_EQ(picture.value().width, 154);  // 2.6 × 3.2 cm at 150 dpi
    EXPECT_EQ(picture.value().height, 189);
  }
  // From another folder, with a relative path that climbs: the results
  // still land beside the photo, and the current folder stays untouched.
  fs::create_directories(dir.path() / "elsewhere");
  Outcome climb = Trimbrel(dir.path() / "elsewhere", {"-q", "../photos/a.jpg"});
  EXPECT_EQ(climb.status, 0) << climb.err;
  EXPECT_TRUE(climb.err.empty());
  EXPECT_EQ(CountEntries(dir.path() / "elsewhere"), 0u);
  ASSERT_EQ(climb.outLines().size(), 1u);
  EXPECT_TRUE(fs::equivalent(climb.outLines()[0], folder + "/a.jpg"));
}

// A name with a newline would read as two paths; with -0 every path ends
// with NUL instead, as xargs -0 takes them.
TEST(Cli, NulEndedPathsForNamesWithNewlines) {
  TempDir dir;
  testing::WriteJpeg(dir / "two\nlines.jpg", 30, 30, testing::PhotoLike(30, 30));
  testing::WriteJpeg(dir / "c.jpg", 30, 30, testing::PhotoLike(30, 30));
  const std::string folder = (dir.path() / "修剪结果").string();
  for (const char* option : {"-0", "--null"}) {
    Outcome run = Trimbrel(dir.path(), {"-q", option, "two\nlines.jpg", "c.jpg"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, folder + "/two\nlines.jpg" + '\0' + folder + "/c.jpg" + '\0') << option;
  }
  Outcome plain = Trimbrel(dir.path(), {"-q", "c.jpg"});
  EXPECT_EQ(plain.out, folder + "/c.jpg\n");
}

// In a folder deeper than any absolute path may be long, a photo given by
// its short name is still opened and its result written beside it; the
// path printed is the long absolute one.
TEST(Cli, PhotosAreOpenedByTheNameGiven) {
  TempDir dir;
  const std::string level(200, 'd');
  int deepest = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(deepest, 0);
  std::string enter = "cd " + Quote(dir.path().string());
  std::string steps;
  for (int i = 1; i <= 25; ++i) {  // over 5000 bytes; each cd well under PATH_MAX
    ASSERT_EQ(::mkdirat(deepest, level.c_str(), 0700), 0);
    const int next = ::openat(deepest, level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(deepest);
    ASSERT_GE(deepest = next, 0);
    steps += level + "/";
    if (i % 10 == 0 || i == 25) enter += " && cd -P " + Quote(std::exchange(steps, ""));
  }
  testing::WriteJpeg(dir / "p.jpg", 60, 40, testing::PhotoLike(60, 40));
  ASSERT_EQ(::renameat(AT_FDCWD, (dir / "p.jpg").c_str(), deepest, "p.jpg"), 0);

  Outcome dry = TrimbrelAfter(enter, {"-n", "p.jpg"});
  EXPECT_EQ(dry.status, 0) << dry.err.substr(0, 300);
  Outcome run = TrimbrelAfter(enter, {"-q", "-f", "bmp", "p.jpg"});
  EXPECT_EQ(run.status, 0) << run.err.substr(0, 300);
  struct stat st {};
  EXPECT_EQ(::fstatat(deepest, "修剪结果/p.bmp", &st, 0), 0);
  ASSERT_EQ(run.outLines().size(), 1u);
  const std::string shown = run.outLines()[0];
  EXPECT_GT(shown.size(), 5000u);
  EXPECT_EQ(shown.rfind(dir.path().string() + "/" + level + "/", 0), 0u);
  EXPECT_EQ(shown.substr(shown.size() - 19), "/修剪结果/p.bmp");
  ::close(deepest);
}

TEST(Cli, TextValuesAreReadLikeTheWindowBoxes) {
  struct Case {
    std::vector<std::string> args;
    int width, height;
  };
  const Case cases[] = {
      {{"-u", "px", "-W", "１２０", "-H", "８０.４"}, 120, 80},  // full-width digits
      {{"-u", "px", "--width=100.5", "--height", "31"}, 101, 31},
      {{"-W", "2,6", "-H", "１"}, 118, 59},                     // only the point is a decimal separator
      {{"-u", "in", "-d", "72.9", "-W", "1", "-H", "0.5"}, 72, 36},
      {{"-u", "px", "-W40", "-H50", "-b", "height"}, 40, 50},
  };
  TempDir dir;
  testing::WriteJpeg(dir / "a.jpg", 200, 200, testing::PhotoLike(200, 200));
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-f", "bmp", "-q", "a.jpg"});
    Outcome run = Trimbrel(dir.path(), args);
    SCOPED_TRACE(c.args[2] + " " + c.args[3]);
    ASSERT_EQ(run.status, 0) << run.err;
    testing::BmpImage image;
    ASSERT_TRUE(testing::ParseBmp24(testing::ReadFileBytes(dir.path() / "修剪结果" / "a.bmp"), image));
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
  }
}

// Values are read like the window's boxes, but what the reading drops is
// said, a DPI past the int range is refused instead of wrapped, and a
// refused size names the options it comes from.
TEST(Cli, MisreadNumbersAreNamed) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;  // empty: nothing is said to be ignored
  };
  const Case cases[] = {
      {{"-d", "2,6"}, 0, "warning: --dpi \"2,6\" is read as 2; \",6\" is ignored"},
      {{"-d", "2.6cm"}, 0, "warning: --dpi \"2.6cm\" is read as 2; \".6cm\" is ignored"},
      {{"-d", "1e3"}, 0, "warning: --dpi \"1e3\" is read as 1; \"e3\" is ignored"},
      {{"-W", "2.6cm", "-H", "３，２"}, 0, "warning: --height \"３，２\" is read as 3; \",2\" is ignored"},
      {{"-u", "px", "-W", "1e3", "-d", " 150 "}, 0, ""},
      {{"-d", "4294967446"}, 2, "--dpi: \"4294967446\" is out of range"},
      {{"-d", "2147483647"}, 2,
       "--width \"2.6\" cm at --dpi \"2147483647\" is too large (2198211678 pixels): a target width can be at most "
       "65535 pixels"},
      {{"-u", "px", "-H", "1e308"}, 2, "--height \"1e308\" is too large: a target height can be at most 65535 pixels"},
      {{"-H", "1e308"}, 2, "--height \"1e308\" cm at --dpi \"150\" is too large: a target height can be at most"},
      {{"-u", "in", "-d", "0"}, 2, "--dpi \"0\" gives no size in in"},
      {{"-u", "px", "-W", "0.4"}, 2, "--width \"0.4\" gives a target width of 0 pixels"},
  };
  TempDir dir;
  testing::WriteJpeg(dir / "a.jpg", 40, 40, testing::PhotoLike(40, 40));
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-n", "a.jpg"});
    Outcome run = Trimbrel(dir.path(), args);
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + ": " + run.err);
    EXPECT_EQ(run.status, c.status);
    if (c.message.empty()) {
      EXPECT_EQ(run.err.find("ignored"), std::string::npos);
    } else {
      EXPECT_NE(run.err.find("trimbrel: " + c.message), std::string::npos);
    }
  }
}

TEST(Cli, FailedPhotosExitOneAndTheOthersAreWritten) {
  TempDir dir;
  testing::WriteJpeg(dir / "good.jpg", 50, 50, testing::PhotoLike(50, 50));
  std::ofstream(dir.path() / "bad.jpg") << "plain text";
  Outcome run = Trimbrel(dir.path(), {"-q", "-f", "png", "good.jpg", "bad.jpg", "gone.jpg"});
  EXPECT_EQ(run.status, 1);
  const std::string folder = (dir.path() / "修剪结果").string();
  // Unreadable photos still get their band-coloured picture, and say so.
  EXPECT_EQ(run.outLines(), (std::vector<std::string>{folder + "/good.png", folder + "/bad.png", folder + "/gone.png"}));
  std::istringstream err(run.err);
  std::vector<std::string> errLines;
  for (std::string line; std::getline(err, line);) errLines.push_back(line);
  ASSERT_EQ(errLines.size(), 2u) << run.err;
  EXPECT_NE(errLines[0].find(dir / "bad.jpg"), std::string::npos);
  EXPECT_NE(errLines[0].find("unknown kind"), std::string::npos);
  EXPECT_NE(errLines[1].find(dir / "gone.jpg"), std::string::npos);
  EXPECT_NE(errLines[1].find("cannot open"), std::string::npos);

  // A photo that is gone leaves its earlier result as it was, unlisted.
  const auto goodResult = testing::ReadFileBytes(folder + "/good.png");
  fs::rename(dir.path() / "good.jpg", dir.path() / "good.bak");
  Outcome gone = Trimbrel(dir.path(), {"-q", "-f", "png", "good.jpg"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_TRUE(gone.out.empty()) << gone.out;
  EXPECT_NE(gone.err.find("good.jpg: cannot be read (cannot open: No such file or directory); kept the existing " +
                          folder + "/good.png"),
            std::string::npos)
      << gone.err;
  EXPECT_EQ(testing::ReadFileBytes(folder + "/good.png"), goodResult);
  fs::rename(dir.path() / "good.bak", dir.path() / "good.jpg");

  // An output that cannot be written: a folder has its name.
  fs::create_directories(dir.path() / "修剪结果" / "good.bmp");
  Outcome blocked = Trimbrel(dir.path(), {"-q", "-f", "bmp", "good.jpg"});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_TRUE(blocked.out.empty());
  EXPECT_NE(blocked.err.find("good.jpg: not written to " + folder + "/good.bmp (is a directory)\n"), std::string::npos)
      << blocked.err;
}

// A write the system refuses says, in its words, why; nothing of it stays.
TEST(Cli, AFailedWriteGivesTheSystemsReason) {
  TempDir dir;
  testing::WriteJpeg(dir / "p.jpg", 120, 100, testing::PhotoLike(120, 100));
  std::ofstream(dir.path() / "plain") << "a file";
  const std::string photo = dir / "p.jpg";
  struct Case {
    std::string enter;  // after the change into the folder
    std::string output;
    std::string message;
  };
  const Case cases[] = {
      // Files may grow to 8 KiB: the bitmap needs more.
      {" && ulimit -f 8 && trap '' XFSZ", "out",
       photo + ": not written to " + (dir / "out/p.bmp") + " (file too large)"},
      {"", "plain/sub", photo + ": not written to " + (dir / "plain/sub/p.bmp") +
                            " (cannot create the results folder plain/sub/: plain: not a directory)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Outcome run = TrimbrelAfter("cd " + Quote(dir.path().string()) + c.enter,
                                {"-q", "-f", "bmp", "-u", "px", "-W", "200", "-H", "200", "-o", c.output, "p.jpg"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_EQ(run.err, "trimbrel: " + c.message + "\n");
  }
  EXPECT_TRUE(fs::is_empty(dir.path() / "out"));
}

// A FIFO nobody writes to: alone, among photos (the job planner peeks at
// every header), with jobs and in a dry run, it is refused at once.
TEST(Cli, AFifoIsRefusedNotWaitedFor) {
  TempDir dir;
  testing::WriteJpeg(dir / "a.jpg", 40, 40, testing::PhotoLike(40, 40));
  ASSERT_EQ(::mkfifo((dir / "f.jpg").c_str(), 0600), 0);
  const std::vector<std::string> runs[] = {
      {"-n", "f.jpg"}, {"-q", "f.jpg"}, {"-q", "a.jpg", "f.jpg"}, {"-q", "-j", "2", "f.jpg", "a.jpg"}};
  for (const auto& args : runs) {
    Outcome run = Trimbrel(dir.path(), args);
    SCOPED_TRACE(args[0] + " " + args[1]);
    ASSERT_NE(run.status, kTimedOut);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("f.jpg: cannot be read (cannot open: not a regular file)"), std::string::npos) << run.err;
  }
}

TEST(Cli, DryRunDescribesAndWritesNothing) {
  TempDir dir;
  testing::WriteJpeg(dir / "tall.jpg", 300, 400, testing::PhotoLike(300, 400));
  testing::WriteBmp24(dir / "wide.bmp", 400, 300, testing::PhotoLike(400, 300));
  testing::WriteJpeg(dir / "tiny.jpg", 50, 60, testing::PhotoLike(50, 60));
  std::ofstream(dir.path() / "notes.txt") << "text";
  Outcome run = Trimbrel(dir.path(), {"-n", "-u", "px", "-W", "154", "-H", "189", "tall.jpg", "wide.bmp", "tiny.jpg",
                                  "notes.txt"});
  EXPECT_EQ(run.status, 1);  // notes.txt cannot be read
  EXPECT_FALSE(fs::exists(dir.path() / "修剪结果"));
  auto lines = run.outLines();
  ASSERT_EQ(lines.size(), 4u) << run.out;
  EXPECT_NE(lines[0].find("154 x 189"), std::string::npos);
  // 300 × 400 at basis width: scale 1.948, offset −8 target px, 15 photo px
  // cut from the top and 17 from the bottom.
  EXPECT_NE(lines[1].find("300 x 400"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("cuts 15 px from the top and 17 px from the bottom"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("adds bands of 36 px at the top and 36 px at the bottom"), std::string::npos) << lines[2];
  EXPECT_NE(run.err.find("tiny.jpg is enlarged"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("notes.txt: cannot be read"), std::string::npos) << run.err;
}

// The executable opens some writers' libraries only when it writes their
// format, so each format is written by the executable itself here.
TEST(Cli, EveryFormatIsWrittenByTheExecutable) {
  TempDir dir;
  testing::WriteJpeg(dir / "p.jpg", 120, 90, testing::PhotoLike(120, 90, 7));
  const struct {
    const char* format;
    std::string magic;
  } cases[] = {{"bmp", "BM"}, {"jpg", "\xFF\xD8\xFF"}, {"gif", "GIF8"}, {"tiff", std::string("II*\0", 4)},
               {"png", "\x89PNG"}};
  for (const auto& c : cases) {
    Outcome run = Trimbrel(dir.path(), {"-q", "-f", c.format, "-o", "out", "p.jpg"});
    ASSERT_EQ(run.status, 0) << c.format << ": " << run.err;
    const auto bytes = testing::ReadFileBytes(dir.path() / "out" / (std::string("p.") + c.format));
    ASSERT_GE(bytes.size(), c.magic.size()) << c.format;
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(c.magic.size())), c.magic)
        << c.format;
  }
}

TEST(Cli, OutputFolderBandColourAndJobs) {
  TempDir dir;
  std::vector<std::string> args = {"-q", "-f", "bmp", "-u", "px", "-W", "20", "-H", "40",
                                   "--background", "00ff80", "-o", "out/sub", "-j", "2"};
  std::vector<std::string> expected;
  for (int i = 0; i < 6; ++i) {
    const std::string name = "p" + std::to_string(i) + ".jpg";
    const int w = 400 - i * 50;
    testing::WriteJpeg(dir / name, w, 100, testing::PhotoLike(w, 100, static_cast<unsigned>(i)));
    args.push_back(name);
    expected.push_back((dir.path() / "out/sub" / ("p" + std::to_string(i) + ".bmp")).string());
  }
  Outcome run = Trimbrel(dir.path(), args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.outLines(), expected);
  EXPECT_FALSE(fs::exists(dir.path() / "修剪结果"));
  testing::BmpImage image;
  ASSERT_TRUE(testing::ParseBmp24(testing::ReadFileBytes(expected[0]), image));
  // A wide photo on a tall target: bands above and below in the chosen colour.
  const testing::Rgb corner = image.at(0, 0);
  EXPECT_EQ(corner.r, 0x00);
  EXPECT_EQ(corner.g, 0xFF);
  EXPECT_EQ(corner.b, 0x80);
  Outcome serial = Trimbrel(dir.path(), [&] {
    auto a = args;
    a[14] = "1";
    a[12] = "serial";
    return a;
  }());
  ASSERT_EQ(serial.status, 0) << serial.err;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(testing::ReadFileBytes(expected[i]), testing::ReadFileBytes(serial.outLines()[i])) << i;
  }
}

}  // namespace
}  // namespace trimbrel
