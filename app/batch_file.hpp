// Reading one photo's bytes for the streaming decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "imaging/imaging.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

// Files larger than this are refused before anything is allocated: no photo
// within the pixel limits comes near it.
inline constexpr std::uint64_t kMaxPhotoFileBytes = std::uint64_t{1} << 31;

// A file's bytes. Not a std::vector: that would clear every byte first,
// only for read() to overwrite it (16 MB for a large photo).
class PhotoBytes {
 public:
  PhotoBytes() = default;
  // Throws std::bad_alloc when the memory cannot be had.
  explicit PhotoBytes(std::size_t size);
  std::span<const std::uint8_t> span() const { return {data_.get(), size_}; }
  std::uint8_t* data() { return data_.get(); }
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

// The whole file. "cannot open: …" for anything that is not a readable
// regular file (a folder, a FIFO, an empty entry, a missing file; see
// PhotoFile), "too large: …"
// past kMaxPhotoFileBytes. Read, not mapped: a photo truncated by another
// program while the batch runs must fail that photo, not kill the process.
Result<PhotoBytes> ReadPhotoFile(const std::string& path);

// A photo's first bytes, with its file left open just after them, for a
// decoder that reads the rest as it goes (a sequential JPEG).
struct PhotoHead {
  PhotoFile file;
  PhotoBytes bytes;  // the whole file when it is no longer than was asked for
  bool ended = false;  // the file ended within the head (it may shrink while open)
  bool whole() const { return ended || bytes.size() >= file.size(); }
};
// Up to `count` bytes; the errors of ReadPhotoFile.
Result<PhotoHead> ReadPhotoHead(const std::string& path, std::size_t count);
// The whole file of a photo whose head was read: the head and the rest.
Result<PhotoBytes> ReadPhotoRest(PhotoHead& head);

}  // namespace trimbrel
