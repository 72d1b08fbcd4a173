// The interrupt cleanup, each case in a child process of its own: the
// handlers and the signal that ends it must not touch the test runner.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.hpp"

#include "default_signals.hpp"

namespace trimbrel {
namespace {

namespace fs = std::filesystem;

class Folder {
 public:
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "trimbrel-cleanup-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(path_)) out.push_back(entry.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::string path_;
};

bool Make(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// Runs `body` in a child with every signal at its default and none blocked,
// and returns its wait status. The body ends by a signal or returns the
// exit status.
int InChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    testing_support::RestoreDefaultSignals();
    const rlimit noCore{0, 0};  // SIGQUIT would leave a core file
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::_exit(body());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return status;
}

std::string Describe(int status) {
  if (WIFSIGNALED(status)) return std::string("ended by signal ") + std::to_string(WTERMSIG(status));
  if (WIFEXITED(status)) return "exited with " + std::to_string(WEXITSTATUS(status));
  return "status " + std::to_string(status);
}

constexpr int kSurvived = 99;

// Each signal removes what is registered now, not what was registered and
// forgotten or never registered, and ends the process with itself.
TEST(InterruptCleanup, EachSignalRemovesTheRegisteredNamesAndEndsTheProcess) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    SCOPED_TRACE(::strsignal(sig));
    Folder dir;
    const int status = InChild([&] {
      InstallInterruptCleanup();
      TemporaryName registered, forgotten;
      registered.aboutToMake(dir / "registered");
      if (!Make(dir / "registered")) return 1;
      registered.made();
      forgotten.aboutToMake(dir / "forgotten");
      if (!Make(dir / "forgotten")) return 1;
      forgotten.made();
      forgotten.forget();
      if (!Make(dir / "unregistered")) return 1;
      if (sig == SIGPIPE) {
        // The way a run meets it: writing to a pipe nobody reads.
        int ends[2];
        if (::pipe(ends) != 0) return 1;
        ::close(ends[0]);
        const char byte = 0;
        (void)!::write(ends[1], &byte, 1);
      } else {
        ::kill(::getpid(), sig);
      }
      return kSurvived;
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << Describe(status);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"forgotten", "unregistered"}));
  }
}

// Started with a signal ignored (nohup), the program keeps ignoring it.
TEST(InterruptCleanup, ASignalIgnoredAtTheStartStaysIgnored) {
  Folder dir;
  const int status = InChild([&] {
    std::signal(SIGHUP, SIG_IGN);
    InstallInterruptCleanup();
    TemporaryName name;
    name.aboutToMake(dir / "kept");
    if (!Make(dir / "kept")) return 1;
    name.made();
    ::kill(::getpid(), SIGHUP);
    if (!fs::exists(dir / "kept")) return 2;
    ::kill(::getpid(), SIGTERM);
    return kSurvived;
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << Describe(status);
  EXPECT_TRUE(dir.names().empty());
}

// Threads keep making and removing registered files while the signal comes:
// whatever exists at that moment, even a file whose open() was under way,
// is gone after the process.
TEST(InterruptCleanup, FilesBeingMadeOnOtherThreadsAreRemovedToo) {
  Folder dir;
  const int status = InChild([&]() -> int {
    InstallInterruptCleanup();
    constexpr int kThreads = 4, kLive = 3;
    std::atomic<long> made{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        auto names = std::make_unique<TemporaryName[]>(kLive);
        std::vector<std::string> paths(kLive);
        for (long i = 0;; ++i) {
          const int k = static_cast<int>(i % kLive);
          if (!paths[k].empty()) {
            ::unlink(paths[k].c_str());
            names[k].forget();
          }
          paths[k] = dir / std::to_string(t).append("-").append(std::to_string(i));
          names[k].aboutToMake(paths[k]);
          if (Make(paths[k])) names[k].made();
          ++made;
        }
      });
    }
    while (made.load() < 2000) std::this_thread::yield();
    ::kill(::getpid(), SIGTERM);
    for (;;) ::pause();
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << Describe(status);
  EXPECT_EQ(dir.names(), std::vector<std::string>{});
}

TEST(TemporaryName, SlotsAreLimitedAndReused) {
  std::vector<std::unique_ptr<TemporaryName>> names;
  for (int i = 0; i < kTemporarySlots; ++i) {
    names.push_back(std::make_unique<TemporaryName>());
    ASSERT_TRUE(names.back()->aboutToMake("/nowhere/" + std::to_string(i))) << i;
    names.back()->made();
  }
  TemporaryName extra;
  EXPECT_FALSE(extra.aboutToMake("/nowhere/extra"));
  EXPECT_FALSE(extra.registered());
  names[7]->forget();
  EXPECT_TRUE(extra.aboutToMake("/nowhere/extra"));
  names.pop_back();  // the destructor gives its slot back
  TemporaryName another;
  EXPECT_TRUE(another.aboutToMake("/nowhere/another"));
  // A name that does not fit a slot is not registered, and takes none.
  names[8]->forget();
  EXPECT_FALSE(TemporaryName().aboutToMake("/" + std::string(5000, 'x')));
  EXPECT_TRUE(TemporaryName().aboutToMake("/nowhere/fits"));
}

}  // namespace
}  // namespace trimbrel
