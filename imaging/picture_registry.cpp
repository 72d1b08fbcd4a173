#include <mutex>
#include <unordered_map>

#include "imaging/picture.hpp"

namespace trimbrel {
namespace {

// Handles are counted, not addresses, so a stale handle never names a newer
// picture by accident; the counter skips 0 and handles still in use.
class PictureRegistry {
 public:
  static PictureRegistry& instance() {
    static PictureRegistry registry;
    return registry;
  }

  PictureHandle add(Picture picture) {
    auto shared = std::make_shared<const Picture>(std::move(picture));
    std::lock_guard lock(mutex_);
    PictureHandle handle;
    do {
      handle = ++counter_;
    } while (handle == 0 || pictures_.count(handle) != 0);
    pictures_.emplace(handle, std::move(shared));
    return handle;
  }

  void remove(PictureHandle handle) {
    std::shared_ptr<const Picture> last;  // freed after the lock is let go
    {
      std::lock_guard lock(mutex_);
      auto it = pictures_.find(handle);
      if (it == pictures_.end()) return;
      last = std::move(it->second);
      pictures_.erase(it);
    }
  }

  std::shared_ptr<const Picture> find(PictureHandle handle) {
    std::lock_guard lock(mutex_);
    auto it = pictures_.find(handle);
    return it == pictures_.end() ? nullptr : it->second;
  }

 private:
  std::mutex mutex_;
  PictureHandle counter_ = 0;
  std::unordered_map<PictureHandle, std::shared_ptr<const Picture>> pictures_;
};

}  // namespace

PictureHandle RegisterPicture(Picture picture) { return PictureRegistry::instance().add(std::move(picture)); }

PictureHandle LoadPicture(const std::string& path) {
  if (path.empty()) return 0;
  auto decoded = DecodePictureFile(path);
  return decoded ? RegisterPicture(std::move(decoded).value()) : 0;
}

PictureHandle LoadPicture(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return 0;
  auto decoded = DecodePictureBytes(bytes);
  return decoded ? RegisterPicture(std::move(decoded).value()) : 0;
}

void UnloadPicture(PictureHandle handle) { PictureRegistry::instance().remove(handle); }

std::shared_ptr<const Picture> AcquirePicture(PictureHandle handle) { return PictureRegistry::instance().find(handle); }

std::int32_t PictureWidth(PictureHandle handle) {
  auto picture = AcquirePicture(handle);
  return picture ? picture->width : 0;
}

std::int32_t PictureHeight(PictureHandle handle) {
  auto picture = AcquirePicture(handle);
  return picture ? picture->height : 0;
}

}  // namespace trimbrel
