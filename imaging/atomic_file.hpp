// Replacing a file all at once: the bytes go to a fresh temporary file in the
// target's folder, which is renamed over the target only when everything was
// written and closed without error. A failed write leaves the folder as it
// was; several threads can write into one folder at once. A new file gets
// 0666 less the umask, a replaced one keeps its permissions. A file may also
// be written only where nothing of its name exists yet.
#pragma once

#include <cstdio>
#include <string>

namespace trimbrel {

class AtomicFile {
 public:
  AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();  // removes the temporary unless committed

  // Creates the temporary beside `target`. False, with the reason, when the
  // folder cannot take it or the target exists and may not be written, or
  // exists at all when `replace` is false.
  bool open(const std::string& target, std::string& error, bool replace = true);
  std::FILE* file() const { return file_; }
  // Flushes, closes and renames over the target.
  bool commit(std::string& error);

 private:
  void discard();

  std::string target_;
  std::string temporary_;
  bool replace_ = true;
  std::FILE* file_ = nullptr;
};

}  // namespace trimbrel
