// What the command line shows while it trims: the written paths on stdout in
// input order, problems on stderr one line each, and either a progress bar
// (on a terminal) or one line per finished photo.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "app/batch_run.hpp"

namespace trimbrel {

class ConsoleHost : public BatchHost {
 public:
  // `bar`: stderr is a terminal, so progress redraws one line in place.
  // `pathEnd` follows every written path on `out`: a newline, or NUL for
  // names that may hold newlines themselves. Relative paths are shown
  // against `workingDirectory` unless it is empty.
  ConsoleHost(TrimSettings settings, std::FILE* out, std::FILE* err, bool quiet, bool bar, char pathEnd = '\n',
              std::string workingDirectory = {});

  TrimSettings readTrimSettings() override { return settings_; }
  void photoStarted(int total, int index, const std::string& fileName) override;
  void photoFinished(int total, int index, const PhotoReport& report) override;
  void runFinished(const BatchReport& report) override;
  void runRefused(const std::string& message) override;

 private:
  void drawBar(int total);
  void clearBar();

  TrimSettings settings_;
  std::FILE* out_;
  std::FILE* err_;
  bool quiet_;
  bool bar_;
  char pathEnd_;
  std::string workingDirectory_;
  bool barShown_ = false;
  int finished_ = 0;
  std::string current_;
  std::chrono::steady_clock::time_point start_;
};

// "1:05" style, for times left.
std::string FormatDuration(double seconds);

}  // namespace trimbrel
