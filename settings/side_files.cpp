#include "settings/side_files.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.hpp"
#include "settings/config_module.hpp"

namespace trimbrel {
namespace {

bool SafeNamePart(const std::string& utf8) {
  return utf8 != ".." && utf8.find('/') == std::string::npos &&
         utf8.find('\0') == std::string::npos;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::optional<std::string> SideFolder(const std::string& iniPath) {
  if (iniPath.empty()) return std::nullopt;
  const std::size_t slash = iniPath.rfind('/');
  if (slash == std::string::npos) return std::string("inibin");
  return iniPath.substr(0, slash) + "/inibin";
}

std::optional<std::string> SideFilePath(const std::string& iniPath, const std::string& section,
                                        const std::string& key) {
  const std::optional<std::string> folder = SideFolder(iniPath);
  if (!folder) return std::nullopt;
  const std::string sectionName = GbkToUtf8(section);
  const std::string keyName = GbkToUtf8(key);
  if (!SafeNamePart(sectionName) || !SafeNamePart(keyName)) return std::nullopt;
  return *folder + "/" + sectionName + "-" + keyName + ".ibn";
}

bool ConfigModule::writeBlock(const std::string& key, const std::vector<std::uint8_t>& bytes) {
  const std::optional<std::string> path = SideFilePath(iniPath, currentSection, key);
  if (!path) return false;
  // One level only; that it exists already is the usual case.
  ::mkdir(SideFolder(iniPath)->c_str(), 0777);
  const int fd = ::open(path->c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return false;
  // Truncate only once no reader holds the file, so nobody sees half a block.
  bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ftruncate(fd, 0) == 0 &&
            WriteAll(fd, bytes.data(), bytes.size());
  ok = ::close(fd) == 0 && ok;
  return ok;
}

std::vector<std::uint8_t> ConfigModule::readBlock(const std::string& key,
                                                  const std::vector<std::uint8_t>& fallback) {
  const std::optional<std::string> path = SideFilePath(iniPath, currentSection, key);
  if (!path) return fallback;
  auto file = InputFile::open(*path);
  if (!file || !file.value().lockShared()) return fallback;
  auto bytes = file.value().readRest();
  // An empty side file counts as a missing one, and one cut short while it
  // was read is not the block: the caller's state stays.
  if (!bytes || bytes.value().size() == 0 || bytes.value().size() != file.value().size()) return fallback;
  const std::span<const std::uint8_t> block = bytes.value().span();
  return std::vector<std::uint8_t>(block.begin(), block.end());
}

}  // namespace trimbrel
