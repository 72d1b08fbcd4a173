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
  bool nullSeparated = false;  // written paths end with NUL, not a newline
  bool window = false;  // open the window with the photos instead of trimming here
  bool help = false;
  bool version = false;
  std::vector<std::string> photos;  // as given
  // One line each (UTF-8): a value of which characters were left unread.
  std::vector<std::string> warnings;
  // The first option given that shapes a headless run ("--format"), empty
  // when none was: the window brings its own inputs and refuses these.
  std::string firstRunOption;
};

// Fails with a one-line message for unknown options, missing or bad values,
// and for a DPI past the int range (which the box's reading would wrap).
Result<CliOptions> ParseCommandLine(const std::vector<std::string>& args);

// Fails unless the target size can be made, with a message (UTF-8) that
// names the options it comes from and the size they give, before any wrap
// to 32 bits, so that an impossible DPI is not taken for a bad width.
Result<void> TargetRefusal(const TrimSettings& settings);

// Relative paths become absolute against `workingDirectory`.
std::string AbsolutePath(const std::string& path, const std::string& workingDirectory);

// A path as the command line prints it: absolute against `workingDirectory`,
// or as it is when that is empty (unknown).
std::string ShownPath(const std::string& path, const std::string& workingDirectory);

std::string UsageText();

}  // namespace trimbrel
