// Replacing a file all at once: the bytes go to a fresh temporary file in the
// target's folder, which takes the target's name only when everything was
// written and closed without error. A failed write leaves the folder as it
// was; several threads can write into one folder at once. A new file gets
// 0666 less the umask, a replaced one keeps its permissions. A file may also
// be written only where nothing of its name exists yet.
//
// Where the file system can make a file without a name (O_TMPFILE, with
// /proc to link it by), the temporary has none until it is complete, so it
// vanishes with the process however that ends. Elsewhere it is a hidden
// ".trimbrel-XXXXXX" beside the target, registered for the interrupt
// cleanup; only SIGKILL or a crash can leave one of those behind.
#pragma once

#include <cstdio>
#include <string>

#include "platform/platform.hpp"

namespace trimbrel {

// Which step of writing a file failed, and the errno it failed with.
struct FileFault {
  enum Step {
    Target,  // the target may not be written: a folder, read-only, or present when it must not be
    Create,  // no temporary in the folder
    Write,   // flushing or closing the temporary
    Place,   // linking or renaming it to the target
  };
  Step step = Target;
  int code = 0;
};

// The image object's words for a fault ("无法写入文件: Permission denied").
std::string FaultText(const FileFault& fault);

class AtomicFile {
 public:
  // Unnamed falls back to Named where the system refuses it.
  enum class Temporary { Unnamed, Named };

  explicit AtomicFile(Temporary kind = Temporary::Unnamed) : kind_(kind) {}
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();  // removes the temporary unless committed

  // Creates the temporary beside `target`. The fault when the folder cannot
  // take it or the target exists and may not be written, or exists at all
  // when `replace` is false.
  Result<void, FileFault> open(const std::string& target, bool replace = true);
  std::FILE* file() const { return file_; }
  // The hidden name of the open temporary; empty for one without a name.
  const std::string& temporaryName() const { return temporary_; }
  // Flushes, closes and gives the file the target's name.
  Result<void, FileFault> commit();

 private:
  void discard();
  int openNamed(const std::string& folder);
  Result<void, FileFault> placeUnnamed(int fd);

  Temporary kind_;
  std::string target_;
  std::string temporary_;  // empty for an unnamed temporary
  TemporaryName registration_;
  bool replace_ = true;
  std::FILE* file_ = nullptr;
};

}  // namespace trimbrel
