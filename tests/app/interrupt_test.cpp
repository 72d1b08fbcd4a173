// The built executable stopped by a signal in the middle of a run of large
// pictures: it ends by that very signal, and the results folder holds
// finished pictures only, however far each write had got.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "photo_fixtures.hpp"
#include "default_signals.hpp"
#include "refuse_unnamed_files.hpp"

namespace trimbrel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

constexpr int kSide = 3000;
constexpr int kDistinctPhotos = 3;
constexpr int kRepeats = 4;  // far more photos than can be done before the signal
constexpr int kNoSeccomp = 77;

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    }
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool HiddenNameIn(const fs::path& dir) {
  for (const std::string& name : Names(dir)) {
    if (name.rfind(".trimbrel-", 0) == 0) return true;
  }
  return false;
}

// An O_TMPFILE file in `dir` held open by `pid`: the system shows it as
// "<dir>/#<inode> (deleted)".
bool UnnamedFileOpen(pid_t pid, const fs::path& dir) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  const std::string prefix = dir.string() + "/#";
  for (const std::string& fd : Names(fds)) {
    char target[4096];
    const ssize_t n = ::readlink((fds + "/" + fd).c_str(), target, sizeof target);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)).rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// A picture is finished when libtiff reads every strip of it at the size
// asked for.
std::string WholeTiff(const fs::path& path) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) return "not a TIFF";
  std::uint32_t width = 0, height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  std::string problem;
  if (width != kSide || height != kSide) problem = std::to_string(width) + " x " + std::to_string(height);
  std::vector<std::uint8_t> strip(static_cast<std::size_t>(TIFFStripSize(tif)));
  for (tstrip_t s = 0; problem.empty() && s < TIFFNumberOfStrips(tif); ++s) {
    if (TIFFReadEncodedStrip(tif, s, strip.data(), static_cast<tmsize_t>(strip.size())) < 0) {
      problem = "strip " + std::to_string(s) + " unreadable";
    }
  }
  TIFFClose(tif);
  return problem;
}

// "p0", "p1", ...: the photos' names without ".jpg", and so the pictures'.
std::string BaseName(int i) {
  std::string name(1, 'p');
  name += std::to_string(i);
  return name;
}
std::string PhotoName(int i) { return BaseName(i) + ".jpg"; }

class Interrupt : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    photos_ = new TempDir;
    for (int i = 0; i < kDistinctPhotos; ++i) {
      testing::WriteJpeg(*photos_ / PhotoName(i), 1600, 1200, testing::PhotoLike(1600, 1200, static_cast<unsigned>(i)));
    }
  }
  static void TearDownTestSuite() {
    delete photos_;
    photos_ = nullptr;
  }

  // The names the run gives its pictures, in input order.
  static std::vector<std::string> OutputNames() {
    std::vector<std::string> names;
    for (int k = 1; k <= kRepeats; ++k) {
      for (int i = 0; i < kDistinctPhotos; ++i) {
        const std::string base = BaseName(i);
        names.push_back(k == 1 ? base + ".tiff" : base + " (" + std::to_string(k) + ").tiff");
      }
    }
    return names;
  }

  // Starts the program on `entries` photos, taken from the few in turn,
  // with every signal at its default;
  // `refuseUnnamed` makes its kernel refuse O_TMPFILE.
  static pid_t Start(const fs::path& results, int entries, bool refuseUnnamed) {
    const char* binary = std::getenv("TRIMBREL_BINARY");
    if (binary == nullptr) return -1;
    std::vector<std::string> args = {binary, "-q", "-f", "tiff", "-u", "px", "-W", std::to_string(kSide),
                                     "-H", std::to_string(kSide), "-j", "2", "-o", results.string()};
    for (int k = 0; k < entries; ++k) args.push_back(*photos_ / PhotoName(k % kDistinctPhotos));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      testing_support::RestoreDefaultSignals();
      const int null = ::open("/dev/null", O_RDWR);
      for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);
      if (refuseUnnamed && !testing::RefuseUnnamedFiles()) ::_exit(kNoSeccomp);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }

  // The wait status once `pid` has ended; it is killed if it takes longer
  // than any run of these photos could.
  static int Reap(pid_t pid) {
    int status = 0;
    for (int waited = 0; waited < 120000; waited += 10) {
      if (::waitpid(pid, &status, WNOHANG) == pid) return status;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    ADD_FAILURE() << "the run went on after the signal";
    return status;
  }

  static TempDir* photos_;
};

TempDir* Interrupt::photos_ = nullptr;

std::string Describe(int status) {
  if (WIFSIGNALED(status)) return std::string("ended by ") + ::strsignal(WTERMSIG(status));
  if (WIFEXITED(status)) return "exited with " + std::to_string(WEXITSTATUS(status));
  return "status " + std::to_string(status);
}

TEST_F(Interrupt, ASignalDuringAWriteLeavesFinishedPicturesOnly) {
  struct Case {
    const char* label;
    int sig;
    bool refuseUnnamed;  // the road of a file system without O_TMPFILE
    bool earlierResults;  // the folder holds the pictures of an earlier run, to be replaced
  };
  const Case cases[] = {
      {"SIGINT, named temporaries", SIGINT, true, false},
      {"SIGTERM, named temporaries over earlier results", SIGTERM, true, true},
      {"SIGINT, unnamed temporaries", SIGINT, false, false},
      {"SIGTERM, unnamed temporaries over earlier results", SIGTERM, false, true},
      // Nothing can clean up after SIGKILL; unnamed temporaries need not be.
      {"SIGKILL, unnamed temporaries", SIGKILL, false, false},
  };
  // A finished picture to stand for an earlier run's results.
  TempDir earlier;
  {
    const pid_t pid = Start(earlier.path(), 1, false);
    ASSERT_GT(pid, 0) << "TRIMBREL_BINARY is not set";
    const int status = Reap(pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Describe(status);
    ASSERT_EQ(WholeTiff(earlier.path() / "p0.tiff"), "");
  }
  for (const Case& c : cases) {
    // Right when a temporary appears, and a little into its write.
    for (const int delayMs : {0, 15}) {
      SCOPED_TRACE(std::string(c.label) + ", " + std::to_string(delayMs) + " ms after it appeared");
      TempDir dir;
      const fs::path results = dir.path() / "out";
      const std::vector<std::string> outputs = OutputNames();
      if (c.earlierResults) {
        fs::create_directories(results);
        for (const std::string& name : outputs) fs::create_hard_link(earlier.path() / "p0.tiff", results / name);
      }
      const pid_t pid = Start(results, kDistinctPhotos * kRepeats, c.refuseUnnamed);
      ASSERT_GT(pid, 0);
      bool appeared = false;
      int ended = 0;
      for (int polls = 0; !appeared && polls < 600000; ++polls) {
        if (::waitpid(pid, &ended, WNOHANG) == pid) break;
        appeared = c.refuseUnnamed ? HiddenNameIn(results) : UnnamedFileOpen(pid, results);
        if (!appeared) std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      if (!appeared) {
        if (WIFEXITED(ended) && WEXITSTATUS(ended) == kNoSeccomp) GTEST_SKIP() << "no seccomp filter here";
        ::kill(pid, SIGKILL);
        Reap(pid);
        FAIL() << "no temporary appeared in " << results;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
      ASSERT_EQ(::kill(pid, c.sig), 0);
      const int status = Reap(pid);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << Describe(status);

      const std::vector<std::string> names = Names(results);
      for (const std::string& name : names) {
        EXPECT_NE(name[0], '.') << "left behind: " << name;
        // An earlier picture still in place is known to be whole.
        const bool untouched = c.earlierResults && fs::equivalent(results / name, earlier.path() / "p0.tiff");
        if (name[0] != '.' && !untouched) {
          EXPECT_EQ(WholeTiff(results / name), "") << name;
        }
      }
      // Replacing never takes a picture away before its successor is whole.
      if (c.earlierResults) {
        std::vector<std::string> sorted = outputs;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(names, sorted);
      }
    }
  }
}

}  // namespace
}  // namespace trimbrel
