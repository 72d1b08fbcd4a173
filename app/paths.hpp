// Path routines of the batch run. Paths are native UTF-8 byte strings with
// "/" separators; "/" and "." never occur inside a multi-byte UTF-8
// character, so plain byte searches are safe.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.hpp"

namespace trimbrel {

// The text left of the last "/", or empty when there is none
// ("/a/b.jpg" gives "/a", "b.jpg" gives "").
std::string DirectoryOf(std::string_view path);

// The text right of the last "/", or the whole path when there is none.
std::string FileNameOf(std::string_view path);

// FileNameOf without its last extension ("x.y.jpg" gives "x.y"); a name
// without a dot stays whole.
std::string BaseNameOf(std::string_view path);

// Creates every missing level of `path` that is followed by a "/" (so a path
// ending in "/" gets its last level too), with mode 0777 less the umask.
// Succeeds only when every such level ends up being a directory; fails at
// the first level that cannot be created or that exists as something else,
// in the system's words: "permission denied" when the last level cannot be
// made, "/a/file: not a directory" when it is a level above it that fails
// (a level that exists as something else is not a directory).
Result<void> CreateDirectories(std::string_view path);

// True when anything has this name: a file, a folder, even a link to nothing.
bool PathExists(std::string_view path);

}  // namespace trimbrel
