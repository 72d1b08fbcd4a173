// Reading one photo's bytes for the streaming decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

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

}  // namespace trimbrel
