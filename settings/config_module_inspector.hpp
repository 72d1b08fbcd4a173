// Read access to the settings component's memory, for the tests and the
// fuzzer: after every operation the file on disk must equal this copy.
#pragma once

#include <string>

#include "settings/config_module.hpp"

namespace trimbrel {

struct ConfigModuleInspector {
  static const std::string& content(const ConfigModule& module) { return module.content; }
  static bool fileOpen(const ConfigModule& module) { return module.storeFile.isOpen(); }
  static std::size_t pendingWrites(const ConfigModule& module) { return module.pendingWrites.size(); }
};

}  // namespace trimbrel
