#pragma once

namespace trimbrel {

const char* ProgramVersion();

}  // namespace trimbrel
