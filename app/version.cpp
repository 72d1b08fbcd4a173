#include "app/version.hpp"

namespace trimbrel {

const char* ProgramVersion() { return TRIMBREL_VERSION; }

}  // namespace trimbrel
