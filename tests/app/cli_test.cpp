// The built executable, run the way users run it: options, stdout, stderr
// and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

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

// Runs trimbrel in `cwd` with stdout and stderr captured in files (so stderr
// is never a terminal).
// `noDisplay` hides every display from it.
Outcome Trimbrel(const fs::path& cwd, const std::vector<std::string>& args, bool noDisplay = false) {
  const char* binary = std::getenv("TRIMBREL_BINARY");
  EXPECT_NE(binary, nullptr) << "TRIMBREL_BINARY is not set";
  if (binary == nullptr) return {};
  TempDir capture;
  std::string command = "cd " + Quote(cwd.string()) + " && " +
                        (noDisplay ? "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " : "") + Quote(binary);
  for (const auto& a : args) command += " " + Quote(a);
  command += " >" + Quote(capture / "out") + " 2>" + Quote(capture / "err") + " </dev/null";
  int raw = std::system(command.c_str());
  Outcome run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = Slurp(capture.path() / "out");
  run.err = Slurp(capture.path() / "err");
  return run;
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
      {{"-f", "webp", "a.jpg"}, "unknown format"},
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

  // An output that cannot be written: a folder has its name.
  fs::create_directories(dir.path() / "修剪结果" / "good.bmp");
  Outcome blocked = Trimbrel(dir.path(), {"-q", "-f", "bmp", "good.jpg"});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_TRUE(blocked.out.empty());
  EXPECT_NE(blocked.err.find("not written"), std::string::npos) << blocked.err;
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
