#include "app/batch_file.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "imaging/imaging.hpp"

namespace trimbrel {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

// Reading a large photo into fresh memory faults in one page per 4 KB, and
// those faults cost about as much again as the copy (some 6 ms for an 8 MB
// file, a twentieth of decoding it). Aligned to 2 MB, the whole 2 MB spans
// can be given huge pages, one fault each; the rest stays in small pages,
// so no more memory is touched than the file needs.
PhotoBytes::PhotoBytes(std::size_t size) : size_(size) {
  void* p = nullptr;
  if (size >= kHugePage) {
    if (::posix_memalign(&p, kHugePage, size) != 0) p = nullptr;
    if (p != nullptr) ::madvise(p, size / kHugePage * kHugePage, MADV_HUGEPAGE);  // a hint: refused is fine
  } else {
    p = std::malloc(std::max<std::size_t>(size, 1));
  }
  if (p == nullptr) throw std::bad_alloc();
  data_.reset(static_cast<std::uint8_t*>(p));
}

void PhotoBytes::Release::operator()(std::uint8_t* p) const { std::free(p); }

Result<PhotoBytes> ReadPhotoFile(const std::string& path) {
  auto file = PhotoFile::open(path);
  if (!file) return file.error();
  const std::uint64_t size = file.value().size();
  if (size > kMaxPhotoFileBytes) return Fail("too large: file of " + std::to_string(size) + " bytes");
  PhotoBytes bytes(static_cast<std::size_t>(size));
  auto done = file.value().read(bytes.data(), bytes.size());
  if (!done) return done.error();
  bytes.shrink(done.value());  // shrunk meanwhile: decode what is there
  return bytes;
}

Result<PhotoHead> ReadPhotoHead(const std::string& path, std::size_t count) {
  auto file = PhotoFile::open(path);
  if (!file) return file.error();
  const std::uint64_t size = file.value().size();
  if (size > kMaxPhotoFileBytes) return Fail("too large: file of " + std::to_string(size) + " bytes");
  PhotoBytes bytes(static_cast<std::size_t>(std::min<std::uint64_t>(size, count)));
  auto done = file.value().read(bytes.data(), bytes.size());
  if (!done) return done.error();
  const bool ended = done.value() < bytes.size();
  bytes.shrink(done.value());
  return PhotoHead{std::move(file.value()), std::move(bytes), ended};
}

Result<PhotoBytes> ReadPhotoRest(PhotoHead& head) {
  if (head.whole()) return std::move(head.bytes);
  PhotoBytes bytes(static_cast<std::size_t>(head.file.size()));
  std::copy(head.bytes.span().begin(), head.bytes.span().end(), bytes.data());
  const std::size_t have = head.bytes.size();
  head.bytes.release();
  auto done = head.file.read(bytes.data() + have, bytes.size() - have);
  if (!done) return done.error();
  bytes.shrink(have + done.value());  // shrunk meanwhile: decode what is there
  return bytes;
}

}  // namespace trimbrel
