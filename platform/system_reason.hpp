// What the system said about a failed call, in its own English words, for
// messages that pass them on ("no space left on device").
#pragma once

#include <string>

namespace trimbrel {

// The description of an errno value in the C locale, whatever locale the
// process runs in, with a lower-case first letter to sit inside a message
// ("Permission denied" gives "permission denied"; "RPC version wrong" keeps
// its capitals). An unknown value gives "error N".
std::string SystemReason(int code);

}  // namespace trimbrel
