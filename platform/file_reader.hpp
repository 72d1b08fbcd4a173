// Reading files whole, for every folder: photos, settings, side files. Only a
// regular file is read (a pipe or a device may never end), opening never
// blocks (a FIFO nobody writes to would otherwise hold the caller for ever),
// and a file past the caller's bound is refused before anything is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/result.hpp"

namespace trimbrel {

// The largest file any reader needs: a 32-bit bitmap at the pixel cap takes
// 1 GiB, and no photo within the pixel limits comes near this.
inline constexpr std::uint64_t kMaxReadFileBytes = std::uint64_t{1} << 31;

// A file's bytes. Not a std::vector: that would clear every byte first, only
// for the read to overwrite it (16 MB for a large photo).
class FileBytes {
 public:
  FileBytes() = default;
  // Throws std::bad_alloc when the memory cannot be had.
  explicit FileBytes(std::size_t size);
  std::span<const std::uint8_t> span() const { return {data_.get(), size_}; }
  std::uint8_t* data() { return data_.get(); }
  std::string_view text() const { return {reinterpret_cast<const char*>(data_.get()), size_}; }
  std::size_t size() const { return size_; }
  void shrink(std::size_t size) { size_ = size < size_ ? size : size_; }
  void release() {
    data_.reset();
    size_ = 0;
  }

 private:
  struct Release {
    void operator()(std::uint8_t* p) const;
  };
  std::unique_ptr<std::uint8_t, Release> data_;
  std::size_t size_ = 0;
};

// An open regular file, read from its start.
class InputFile {
 public:
  // "cannot open: …" for an empty name, a missing or unreadable entry, a
  // folder and anything else that is not a regular file.
  static Result<InputFile> open(const std::string& path);

  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // The size when it was opened.
  std::uint64_t size() const { return size_; }
  // Up to `count` bytes from the current position; fewer only at the end of
  // the file (which may have shrunk since it was opened).
  Result<std::size_t> read(std::uint8_t* into, std::size_t count);
  // The rest of the file, as long as it was when opened (less when it shrank
  // meanwhile). "too large: a file of N bytes" past `maxBytes`.
  Result<FileBytes> readRest(std::uint64_t maxBytes = kMaxReadFileBytes);
  // A shared flock() that writers taking an exclusive one respect; false
  // when one of them holds the file.
  bool lockShared();

 private:
  InputFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
};

// A file's first bytes, the file left open just after them, for a reader
// that takes the rest as it goes (a sequential JPEG's decoder).
struct FileHead {
  InputFile file;
  FileBytes bytes;     // the whole file when it is no longer than was asked for
  bool ended = false;  // the file ended within the head (it may shrink while open)
  bool whole() const { return ended || bytes.size() >= file.size(); }
};
// Up to `count` bytes; a file past `maxBytes` is refused as by ReadWholeFile.
Result<FileHead> ReadFileHead(const std::string& path, std::size_t count, std::uint64_t maxBytes = kMaxReadFileBytes);
// The whole file whose head was read: the head and the rest behind it.
Result<FileBytes> ReadFileRest(FileHead& head);

// InputFile::open and readRest. Read, not mapped: a file truncated by
// another program while it is used must fail that file, not kill the process.
Result<FileBytes> ReadWholeFile(const std::string& path, std::uint64_t maxBytes = kMaxReadFileBytes);
// The same through a descriptor the caller keeps open (and may have locked),
// from offset 0 whatever its position: "cannot open: not a regular file"
// for anything else.
Result<FileBytes> ReadWholeDescriptor(int fd, std::uint64_t maxBytes = kMaxReadFileBytes);

}  // namespace trimbrel
