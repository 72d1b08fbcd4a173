// Opening a photo to read it. Every reader of photos goes through here, the
// job planner's header peek as much as the decoders: open() does not block
// (a FIFO nobody writes to would otherwise hold the run for ever), and only
// a regular file is read, since a pipe or a device may never end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.hpp"

namespace trimbrel {

class PhotoFile {
 public:
  // "cannot open: …" for an empty name, a missing or unreadable entry, a
  // folder and anything else that is not a regular file.
  static Result<PhotoFile> open(const std::string& path);

  PhotoFile(PhotoFile&& other) noexcept;
  PhotoFile& operator=(PhotoFile&& other) noexcept;
  PhotoFile(const PhotoFile&) = delete;
  PhotoFile& operator=(const PhotoFile&) = delete;
  ~PhotoFile();

  // The size when it was opened.
  std::uint64_t size() const { return size_; }
  // Up to `count` bytes from the current position; fewer only at the end of
  // the file (which may have shrunk since it was opened).
  Result<std::size_t> read(std::uint8_t* into, std::size_t count);

 private:
  PhotoFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

  int fd_ = -1;
  std::uint64_t size_ = 0;
};

}  // namespace trimbrel
