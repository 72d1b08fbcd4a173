// Byte blocks (item lists, states kept in byte-block mode) live in files of
// their own in "inibin" beside the settings file, one file per section and
// key, holding exactly the block's bytes.
#pragma once

#include <optional>
#include <string>

namespace trimbrel {

// The "inibin" folder beside the settings file at `iniPath`: the part before
// the last "/" plus "/inibin"; a bare file name has the current directory.
// Nothing for an empty path.
std::optional<std::string> SideFolder(const std::string& iniPath);

// SideFolder + "/" + section + "-" + key + ".ibn", with section and key
// converted from GBK to UTF-8, the file names of this system. Nothing when
// the name could reach outside the folder ("/", "..", a zero byte).
std::optional<std::string> SideFilePath(const std::string& iniPath, const std::string& section,
                                        const std::string& key);

}  // namespace trimbrel
