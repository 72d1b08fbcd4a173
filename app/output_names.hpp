// Where a batch puts its pictures: the results folder and one file name per
// photo, no two alike.
#pragma once

#include <string>
#include <vector>

namespace trimbrel {

// The default results folder: the first photo's folder + "/修剪结果/";
// "修剪结果/" for a name without a folder, which lies in the current one.
std::string ResultsFolderFor(const std::string& firstPhoto);

// The folder a run writes into, ending with "/": `chosen`, or when that is
// empty ResultsFolderFor(firstPhoto).
std::string ResultsFolder(const std::string& chosen, const std::string& firstPhoto);

// Output file names, one per photo, in order: folder + base name + "." +
// extension. When an earlier entry of the same list already has a name, the
// later one gets " (2)", " (3)", … before the extension, so no photo of a run
// overwrites another; files left from earlier runs are replaced.
std::vector<std::string> AssignOutputNames(const std::vector<std::string>& photos, const std::string& folder,
                                           const std::string& extension);

}  // namespace trimbrel
