// The command line's options, read into the same inputs the window has.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/geometry.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

struct CliOptions {
  TrimSettings settings;  // texts converted to GBK, read like the window's boxes
  std::string outputFolder;
  int jobs = 0;  // 0: by processors and memory
  std::uint32_t bandColour = 0x00F0F0F0;
  bool dryRun = false;
  bool fast = false;
  bool quiet = false;
  bool window = false;  // open the window with the photos instead of trimming here
  bool help = false;
  bool version = false;
  std::vector<std::string> photos;  // as given
  // The first option given that shapes a headless run ("--format"), empty
  // when none was: the window brings its own inputs and refuses these.
  std::string firstRunOption;
};

// Fails with a one-line message for unknown options, missing or bad values.
Result<CliOptions> ParseCommandLine(const std::vector<std::string>& args);

// Relative paths become absolute against `workingDirectory`, so that the
// results folder lands beside the photo and never at the file-system root.
std::string AbsolutePath(const std::string& path, const std::string& workingDirectory);

std::string UsageText();

}  // namespace trimbrel
