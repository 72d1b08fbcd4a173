#include "app/progress.hpp"

#include <cmath>

#include "app/cli_options.hpp"

namespace trimbrel {

ConsoleHost::ConsoleHost(TrimSettings settings, std::FILE* out, std::FILE* err, bool quiet, bool bar, char pathEnd,
                         std::string workingDirectory)
    : settings_(std::move(settings)), out_(out), err_(err), quiet_(quiet), bar_(bar && !quiet), pathEnd_(pathEnd),
      workingDirectory_(std::move(workingDirectory)), start_(std::chrono::steady_clock::now()) {}

std::string FormatDuration(double seconds) {
  if (!(seconds >= 0) || seconds > 359999) return "--:--";
  long s = std::lround(seconds);
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  }
  return text;
}

void ConsoleHost::photoStarted(int total, int /*index*/, const std::string& fileName) {
  current_ = fileName;
  if (bar_) drawBar(total);
}

void ConsoleHost::photoFinished(int total, int index, const PhotoReport& report) {
  ++finished_;
  const std::string photo = ShownPath(report.photo, workingDirectory_);
  const std::string output = ShownPath(report.output, workingDirectory_);
  if (report.written) {
    std::fputs(output.c_str(), out_);
    std::fputc(pathEnd_, out_);
    std::fflush(out_);
  }
  clearBar();
  if (!report.readError.empty()) {
    std::string outcome;
    if (report.written) outcome = "; wrote a picture of the band colour only";
    if (report.keptExisting) outcome = "; kept the existing " + output;
    std::fprintf(err_, "trimbrel: %s: cannot be read (%s)%s\n", photo.c_str(), report.readError.c_str(),
                 outcome.c_str());
  }
  if (!report.writeError.empty()) {
    std::fprintf(err_, "trimbrel: %s: not written to %s (%s)\n", photo.c_str(), output.c_str(),
                 report.writeError.c_str());
  }
  if (bar_) {
    drawBar(total);
  } else if (!quiet_) {
    std::fprintf(err_, "%d/%d %s\n", index, total, photo.c_str());
  }
  std::fflush(err_);
}

void ConsoleHost::runFinished(const BatchReport& /*report*/) {
  clearBar();
  std::fflush(err_);
}

void ConsoleHost::runRefused(const std::string& message) {
  std::fprintf(err_, "trimbrel: %s\n", message.c_str());
}

void ConsoleHost::clearBar() {
  if (barShown_) std::fputs("\r\033[K", err_);
  barShown_ = false;
}

void ConsoleHost::drawBar(int total) {
  constexpr int kWidth = 24;
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const int filled = total > 0 ? finished_ * kWidth / total : 0;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '.');
  const double rate = elapsed > 0 ? finished_ / elapsed : 0;
  std::string left = rate > 0 ? FormatDuration((total - finished_) / rate) : "--:--";
  std::string name = current_;
  if (name.size() > 40) {
    std::size_t from = name.size() - 39;
    while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) ++from;  // UTF-8 trail byte
    name = "…" + name.substr(from);
  }
  std::fprintf(err_, "\r\033[K[%s] %d/%d  %.1f photos/s  %s left  %s", bar.c_str(), finished_, total, rate,
               left.c_str(), name.c_str());
  barShown_ = true;
  std::fflush(err_);
}

}  // namespace trimbrel
