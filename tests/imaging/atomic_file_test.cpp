// Writing a file all at once, on both roads: a temporary without a name
// where the file system makes one, a hidden named one elsewhere. Cases that
// change the process for good (limits, a seccomp filter) run in a child.
#include "imaging/atomic_file.hpp"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "imaging/byte_sink.hpp"
#include "imaging/drawing_surface.hpp"
#include "imaging/image_object_impl.hpp"
#include "temp_folder.hpp"
#include "refuse_unnamed_files.hpp"

namespace trimbrel {
namespace {

using Temporary = AtomicFile::Temporary;

using Folder = testing_support::TempFolder;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

mode_t Umask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

bool UnnamedFilesWorkIn(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// Opens, writes `text` and commits; the fault of whichever step failed.
Result<void, FileFault> WriteAll(AtomicFile& file, const std::string& target, const std::string& text,
                                 bool replace = true) {
  TRIMBREL_TRY(file.open(target, replace));
  std::fputs(text.c_str(), file.file());
  return file.commit();
}

struct Road {
  Temporary kind;
  const char* name;
};
constexpr Road kRoads[] = {{Temporary::Unnamed, "unnamed"}, {Temporary::Named, "named"}};

// Runs `body` in a child and returns its exit status (-1 when it did not
// exit); the body prints what went wrong.
int InChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int status = body();
    std::fflush(nullptr);
    ::_exit(status);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

constexpr int kNoSeccomp = 77;

TEST(AtomicFile, NewAndReplacedFilesOnBothRoads) {
  for (const Road& road : kRoads) {
    SCOPED_TRACE(road.name);
    Folder dir;
    const bool unnamed = road.kind == Temporary::Unnamed && UnnamedFilesWorkIn(dir.path());
    AtomicFile file(road.kind);
    ASSERT_TRUE(file.open(dir / "new.bin").ok());
    // While it is written, the folder shows no name for it at all, or one
    // hidden name.
    if (unnamed) {
      EXPECT_EQ(file.temporaryName(), "");
      EXPECT_EQ(dir.names(), std::vector<std::string>{});
    } else {
      ASSERT_EQ(file.temporaryName().rfind(dir / ".trimbrel-", 0), 0u) << file.temporaryName();
      EXPECT_EQ(dir.names(), std::vector<std::string>{file.temporaryName().substr(dir.path().size() + 1)});
    }
    std::fputs("fresh", file.file());
    auto committed = file.commit();
    ASSERT_TRUE(committed.ok()) << committed.error().step << " " << committed.error().code;
    EXPECT_EQ(Slurp(dir / "new.bin"), "fresh");
    EXPECT_EQ(ModeOf(dir / "new.bin"), 0666 & ~Umask());

    Put(dir / "old.bin", "old");
    ASSERT_EQ(::chmod((dir / "old.bin").c_str(), 0640), 0);
    AtomicFile again(road.kind);
    ASSERT_TRUE(WriteAll(again, dir / "old.bin", "newer").ok());
    EXPECT_EQ(Slurp(dir / "old.bin"), "newer");
    EXPECT_EQ(ModeOf(dir / "old.bin"), 0640u);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"new.bin", "old.bin"}));
  }
}

// Something of the target's name that appears while the file is written:
// replaced when replacing is allowed, kept as it is when not, and no
// temporary is left either way.
TEST(AtomicFile, ATargetThatAppearsDuringTheWrite) {
  struct Case {
    bool replace;
    bool link;  // a link to nothing appears instead of a file
    bool committed;
    const char* expected;  // what the name then holds
  };
  const Case cases[] = {
      {true, false, true, "ours"},
      {true, true, true, "ours"},
      {false, false, false, "theirs"},
      {false, true, false, nullptr},
  };
  for (const Road& road : kRoads) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(road.name) + (c.replace ? " replace" : " keep") + (c.link ? " link" : " file"));
      Folder dir;
      const std::string target = dir / "t.bin";
      AtomicFile file(road.kind);
      ASSERT_TRUE(file.open(target, c.replace).ok());
      std::fputs("ours", file.file());
      if (c.link) {
        ASSERT_EQ(::symlink("nowhere", target.c_str()), 0);
      } else {
        Put(target, "theirs");
      }
      auto committed = file.commit();
      EXPECT_EQ(committed.ok(), c.committed);
      if (!c.committed) {
        EXPECT_EQ(committed.error().step, FileFault::Place);
        EXPECT_EQ(committed.error().code, EEXIST);
      }
      if (c.expected != nullptr) {
        EXPECT_EQ(Slurp(target), c.expected);
      }
      if (c.link && !c.committed) {
        char to[16] = {};
        EXPECT_EQ(::readlink(target.c_str(), to, sizeof to - 1), 7);
        EXPECT_STREQ(to, "nowhere");
      }
      EXPECT_EQ(dir.names(), std::vector<std::string>{"t.bin"});
    }
  }
}

struct Refusal {
  const char* label;
  std::function<std::string(const Folder&)> prepare;  // gives the target
  bool replace;
  FileFault::Step step;
  int code;
};

void ExpectRefusals(const std::vector<Refusal>& cases) {
  for (const Road& road : kRoads) {
    for (const Refusal& c : cases) {
      SCOPED_TRACE(std::string(road.name) + ": " + c.label);
      Folder dir;
      const std::string target = c.prepare(dir);
      const std::vector<std::string> before = dir.names();
      AtomicFile file(road.kind);
      auto opened = file.open(target, c.replace);
      EXPECT_FALSE(opened.ok());
      EXPECT_EQ(opened.error().step, c.step);
      EXPECT_EQ(opened.error().code, c.code) << std::strerror(opened.error().code);
      EXPECT_EQ(dir.names(), before);
    }
  }
}

TEST(AtomicFile, RefusalsNameTheStepAndWhatTheSystemSaid) {
  ExpectRefusals({
      {"no such folder", [](const Folder& d) { return d / "missing/x.bin"; }, true, FileFault::Create, ENOENT},
      {"the folder is a file",
       [](const Folder& d) {
         Put(d / "plain", "");
         return d / "plain/x.bin";
       },
       true, FileFault::Create, ENOTDIR},
      {"the target is a folder",
       [](const Folder& d) {
         ::mkdir((d / "sub").c_str(), 0755);
         return d / "sub";
       },
       true, FileFault::Target, EISDIR},
      {"kept, and there",
       [](const Folder& d) {
         Put(d / "x.bin", "there");
         return d / "x.bin";
       },
       false, FileFault::Target, EEXIST},
  });
}

TEST(AtomicFile, PermissionsRefuseTheTargetOrTheFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes whatever the permission bits say";
  ExpectRefusals({
      {"a read-only target",
       [](const Folder& d) {
         Put(d / "x.bin", "there");
         ::chmod((d / "x.bin").c_str(), 0444);
         return d / "x.bin";
       },
       true, FileFault::Target, EACCES},
      {"a read-only folder",
       [](const Folder& d) {
         ::mkdir((d / "locked").c_str(), 0555);
         return d / "locked/x.bin";
       },
       true, FileFault::Create, EACCES},
  });
}

TEST(AtomicFile, AnUncommittedOrFailedFileLeavesNothing) {
  for (const Road& road : kRoads) {
    SCOPED_TRACE(road.name);
    Folder dir;
    Put(dir / "kept.bin", "kept");
    {
      AtomicFile file(road.kind);
      ASSERT_TRUE(file.open(dir / "kept.bin").ok());
      std::fputs("never", file.file());
    }
    EXPECT_EQ(dir.names(), std::vector<std::string>{"kept.bin"});
    EXPECT_EQ(Slurp(dir / "kept.bin"), "kept");

    // A write beyond the file size limit, still in the stream's buffer when
    // the file is committed, fails at the flush with EFBIG.
    const int status = InChild([&] {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit small{1000, 1000};
      if (::setrlimit(RLIMIT_FSIZE, &small) != 0) return 2;
      AtomicFile file(road.kind);
      if (!file.open(dir / "kept.bin")) return 3;
      const std::string big(3000, 'x');
      std::fwrite(big.data(), 1, big.size(), file.file());
      auto committed = file.commit();
      if (committed) return 4;
      const FileFault& fault = committed.error();
      if (fault.step != FileFault::Write || fault.code != EFBIG) {
        std::fprintf(stderr, "step %d, %s\n", fault.step, std::strerror(fault.code));
        return 5;
      }
      return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"kept.bin"});
    EXPECT_EQ(Slurp(dir / "kept.bin"), "kept");
  }
}

// Where the system refuses a file without a name, the file is written under
// a hidden one instead, and nothing else changes.
TEST(AtomicFile, FallsBackToANamedTemporaryWhereUnnamedOnesAreRefused) {
  Folder dir;
  Put(dir / "old.bin", "old");
  ASSERT_EQ(::chmod((dir / "old.bin").c_str(), 0604), 0);
  const int status = InChild([&] {
    if (!testing::RefuseUnnamedFiles()) return kNoSeccomp;
    if (UnnamedFilesWorkIn(dir.path())) return 2;
    for (const char* name : {"new.bin", "old.bin"}) {
      AtomicFile file;
      if (!file.open(dir / name)) return 3;
      if (file.temporaryName().rfind(dir / ".trimbrel-", 0) != 0) {
        std::fprintf(stderr, "temporary '%s'\n", file.temporaryName().c_str());
        return 4;
      }
      std::fputs("written", file.file());
      if (!file.commit()) return 5;
    }
    return 0;
  });
  if (status == kNoSeccomp) GTEST_SKIP() << "no seccomp filter here to refuse O_TMPFILE";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"new.bin", "old.bin"}));
  EXPECT_EQ(Slurp(dir / "new.bin"), "written");
  EXPECT_EQ(Slurp(dir / "old.bin"), "written");
  EXPECT_EQ(ModeOf(dir / "old.bin"), 0604u);
}

TEST(AtomicFile, ThreadsWriteIntoOneFolderAtOnce) {
  constexpr int kThreads = 6, kFiles = 10;
  for (const Road& road : kRoads) {
    SCOPED_TRACE(road.name);
    Folder dir;
    // Every other name is there already, so both placing ways run at once.
    for (int t = 0; t < kThreads; ++t) {
      for (int f = 0; f < kFiles; f += 2) Put(dir / (std::to_string(t * 100 + f) + ".bin"), "earlier");
    }
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int f = 0; f < kFiles; ++f) {
          const std::string name = std::to_string(t * 100 + f);
          AtomicFile file(road.kind);
          if (!WriteAll(file, dir / (name + ".bin"), name)) ++failures[t];
        }
      });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
    const std::vector<std::string> names = dir.names();
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kThreads * kFiles));
    for (const std::string& name : names) {
      EXPECT_NE(name[0], '.') << name;
      EXPECT_EQ(Slurp(dir / name) + ".bin", name);
    }
  }
}

// A stream on a full device: the sink keeps the system's code of the first
// failure, whether the write itself or only the flush meets it.
TEST(FileSink, KeepsTheCodeOfAFailedWrite) {
  DrawingSurface surface;
  ResizeSurface(surface, {}, {}, 300, 200);
  ImageRef image;
  ASSERT_TRUE(DecodeFromSurface(image, surface));
  struct Case {
    const char* label;
    std::function<void(FileSink&)> write;
  };
  const Case cases[] = {
      {"more than the buffer", [](FileSink& s) { s.write(std::vector<std::uint8_t>(200000, 1)); }},
      {"caught at the flush",
       [](FileSink& s) {
         s.put(1);
         s.flush();
       }},
      {"a whole BMP", [&](FileSink& s) { (void)EncodeImage(*image, IMAGE_FORMAT_BMP, s); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    FileSink sink(full);
    c.write(sink);
    sink.flush();
    EXPECT_TRUE(sink.failed());
    EXPECT_EQ(sink.error(), ENOSPC);
    EXPECT_EQ(SystemReason(sink.error()), "no space left on device");
    std::fclose(full);
  }
  std::FILE* null = std::fopen("/dev/null", "wb");
  ASSERT_NE(null, nullptr);
  FileSink fine(null);
  fine.write(std::vector<std::uint8_t>(200000, 1));
  fine.flush();
  EXPECT_FALSE(fine.failed());
  EXPECT_EQ(fine.error(), 0);
  std::fclose(null);
}

}  // namespace
}  // namespace trimbrel
