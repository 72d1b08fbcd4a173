#include "app/batch_file.hpp"

#include "imaging/imaging.hpp"

namespace trimbrel {

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

}  // namespace trimbrel
