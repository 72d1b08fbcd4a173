#include "app/output_names.hpp"

#include <set>

#include "app/paths.hpp"

namespace trimbrel {

std::string ResultsFolderFor(const std::string& firstPhoto) {
  // A bare name lies in the current folder, not at the root.
  if (firstPhoto.find('/') == std::string::npos) return "修剪结果/";
  return DirectoryOf(firstPhoto) + "/修剪结果/";
}

std::string ResultsFolder(const std::string& chosen, const std::string& firstPhoto) {
  std::string folder = chosen.empty() ? ResultsFolderFor(firstPhoto) : chosen;
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::vector<std::string> AssignOutputNames(const std::vector<std::string>& photos, const std::string& folder,
                                           const std::string& extension) {
  std::vector<std::string> names;
  names.reserve(photos.size());
  std::set<std::string> taken;
  for (const std::string& photo : photos) {
    std::string base = folder + BaseNameOf(photo);
    std::string name = base + "." + extension;
    for (int k = 2; taken.count(name) != 0; ++k) name = base + " (" + std::to_string(k) + ")." + extension;
    taken.insert(name);
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace trimbrel
