// The settings file stays open from start-up to exit, locked against other
// writers, and is edited in place: a change moves only the bytes behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.hpp"

namespace trimbrel {

class StoreFile {
 public:
  StoreFile() = default;
  ~StoreFile();
  StoreFile(const StoreFile&) = delete;
  StoreFile& operator=(const StoreFile&) = delete;

  // Opens `path` for reading and writing, creating it when missing and never
  // truncating it, and takes an exclusive lock that belongs to this open file.
  // The lock is a flock(): it conflicts with every other open of the file,
  // in this process or another, and lives exactly as long as the descriptor.
  // Fails when the file cannot be opened or someone else holds the lock.
  Result<void> open(const std::string& path);
  bool isOpen() const { return fd_ >= 0; }
  void close();

  // The whole file, read through the locked descriptor so nobody can change
  // it between the read and the first edit.
  Result<std::string> readAll() const;

  // Replaces `removed` bytes at `offset` with `bytes`; the tail moves in
  // blocks and the file grows or shrinks by the difference. Space for growth
  // is reserved before any byte moves, so a full disk or a file-size limit
  // fails with the file unchanged. The lock binds only programs that ask for
  // it, so a text editor may have changed or replaced the file meanwhile:
  // when it is no longer `expectedSize` bytes or no longer at its path,
  // nothing is written.
  Result<void> replace(std::uint64_t offset, std::size_t removed, std::string_view bytes,
                       std::uint64_t expectedSize);

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace trimbrel
