#include "app/window_loader.hpp"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli_main.hpp"
#include "app/cli_options.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

namespace {
constexpr const char* kModuleName = "trimbrel-window.so";
}  // namespace

int OpenWindowProgram(const char* programPath, const std::vector<std::string>& photos) {
  const std::string folder = ExecutableFolder();
  // Beside the executable in a build folder; in an installed tree the
  // module sits in the library folder's own trimbrel folder.
  const std::string candidates[] = {
      folder + "/" + kModuleName,
      folder + "/../" TRIMBREL_MODULE_DIR "/" + kModuleName,
  };
  std::string failure;
  for (const std::string& path : candidates) {
    if (::access(path.c_str(), R_OK) != 0) continue;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      failure = ::dlerror();
      continue;
    }
    using Entry = int (*)(int, char**, const char* const*, std::size_t);
    auto entry = reinterpret_cast<Entry>(::dlsym(module, "trimbrel_window_main"));
    if (!entry) {
      failure = path + " has no window program in it";
      continue;
    }
    // Qt reads its own options from argv and would take a photo named like
    // one for itself, so the photos travel beside it.
    std::string program = programPath ? programPath : "trimbrel";
    char* argv[] = {program.data(), nullptr};
    std::vector<const char*> photoPaths;
    photoPaths.reserve(photos.size());
    for (const std::string& photo : photos) photoPaths.push_back(photo.c_str());
    return entry(1, argv, photoPaths.data(), photoPaths.size());  // the module stays loaded until the process ends
  }
  std::fprintf(stderr, "trimbrel: the window cannot be opened: %s\n",
               failure.empty() ? "this build has no window program" : failure.c_str());
  std::fputs(UsageText().c_str(), stderr);
  return kExitUsage;
}

}  // namespace trimbrel
