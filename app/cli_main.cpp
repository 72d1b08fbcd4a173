#include "app/cli_main.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "app/batch_run.hpp"
#include "app/cli_options.hpp"
#include "app/output_names.hpp"
#include "app/paths.hpp"
#include "app/progress.hpp"
#include "app/trim_engine.hpp"
#include "app/version.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

namespace {

// Only for showing paths: empty when it cannot be had.
std::string WorkingDirectory() {
  std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
  return cwd ? std::string(cwd.get()) : std::string();
}

long RoundedTargetPixels(int photoPixels, double scale) {
  return scale > 0 ? static_cast<long>(RoundHalfAway(photoPixels / scale)) : 0;
}

// What centring does to one photo: the pixels cut from each end (in photo
// pixels, as they are lost from the photo) or the bands added (in target
// pixels, as they appear in the picture).
std::string DescribeFit(const PhotoPlan& plan, FitBasis basis) {
  const Placement& p = plan.placement;
  const bool alongY = basis != FitBasis::Height;
  const int start = alongY ? p.drawTop : p.drawLeft;
  const int canvas = alongY ? p.canvasHeight : p.canvasWidth;
  const int photo = alongY ? plan.height : plan.width;
  const char* first = alongY ? "top" : "left";
  const char* second = alongY ? "bottom" : "right";
  const int end = canvas - start - photo;  // canvas pixels after the photo's far edge
  char text[200];
  if (start < 0 || end < 0) {
    std::snprintf(text, sizeof text, "cuts %d px from the %s and %d px from the %s of the photo", std::max(0, -start),
                  first, std::max(0, -end), second);
  } else if (start > 0 || end > 0) {
    std::snprintf(text, sizeof text, "adds bands of %ld px at the %s and %ld px at the %s", RoundedTargetPixels(start, p.scale),
                  first, RoundedTargetPixels(end, p.scale), second);
  } else {
    std::snprintf(text, sizeof text, "nothing cut, no bands");
  }
  return text;
}

int DryRun(const CliOptions& options, const std::string& cwd, std::FILE* out, std::FILE* err) {
  const std::vector<std::string>& photos = options.photos;
  auto shown = [&](const std::string& path) { return ShownPath(path, cwd); };
  const TargetSize target = ToTargetSize(options.settings);
  if (const Result<void> size = CheckTargetSize(target); !size) {
    std::fprintf(err, "trimbrel: %s\n", size.error().reason.c_str());
    return kExitUsage;
  }
  const OutputFormatEntry format = OutputFormatFor(options.settings.format);
  const std::string folder = ResultsFolder(options.outputFolder, photos.front());
  std::fprintf(out, "target %d x %d px at %d dpi, %s files in %s\n", target.width, target.height,
               StoredResolution(options.settings.dpiText, options.settings.unit), format.extension,
               shown(folder).c_str());
  std::vector<std::string> names = AssignOutputNames(photos, folder, format.extension);
  int status = kExitOk;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    auto plan = PlanPhoto(photos[i], target, options.settings.basis);
    if (!plan) {
      std::fprintf(err, "trimbrel: %s: cannot be read (%s)\n", shown(photos[i]).c_str(), plan.error().reason.c_str());
      status = kExitSomePhotosFailed;
      continue;
    }
    const PhotoPlan& p = plan.value();
    std::fprintf(out, "%s: %d x %d px, scale %.4g, %s -> %s\n", shown(photos[i]).c_str(), p.width, p.height,
                 p.placement.scale, DescribeFit(p, options.settings.basis).c_str(), shown(names[i]).c_str());
    if (p.placement.scale < 1.0) {
      std::fprintf(err, "trimbrel: warning: %s is enlarged %.2f times\n", shown(photos[i]).c_str(),
                   1.0 / p.placement.scale);
    }
  }
  return status;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                   const WindowOpener& openWindow) {
  auto parsed = ParseCommandLine(args);
  if (!parsed) {
    std::fprintf(err, "trimbrel: %s\nTry 'trimbrel --help' for more information.\n", parsed.error().reason.c_str());
    return kExitUsage;
  }
  CliOptions& options = parsed.value();
  if (options.help) {
    std::fputs(UsageText().c_str(), out);
    return kExitOk;
  }
  if (options.version) {
    std::fprintf(out, "trimbrel %s\n", ProgramVersion());
    return kExitOk;
  }
  if (options.window && !options.firstRunOption.empty()) {
    std::fprintf(err,
                 "trimbrel: --window runs the photos with the window's own inputs; %s is for a run without it\n"
                 "Try 'trimbrel --help' for more information.\n",
                 options.firstRunOption.c_str());
    return kExitUsage;
  }
  if (options.photos.empty() && !options.window) {
    std::fputs(UsageText().c_str(), err);
    return kExitUsage;
  }
  for (const std::string& warning : options.warnings) std::fprintf(err, "trimbrel: warning: %s\n", warning.c_str());
  if (const Result<void> size = TargetRefusal(options.settings); !size) {
    std::fprintf(err, "trimbrel: %s\n", size.error().reason.c_str());
    return kExitUsage;
  }

  const std::string cwd = WorkingDirectory();
  if (options.window) {
    // The window may make its own folder current (a portable copy), so it
    // gets the photos as absolute paths.
    std::vector<std::string> photos;
    photos.reserve(options.photos.size());
    for (const std::string& photo : options.photos) photos.push_back(AbsolutePath(photo, cwd));
    if (openWindow) return openWindow(photos);
    std::fputs("trimbrel: this program has no window to open\n", err);
    return kExitUsage;
  }
  // Photos are opened and results written by the names given, which work
  // however deep the current folder is; only what is printed is absolute.
  if (options.dryRun) return DryRun(options, cwd, out, err);

  // Ctrl-C, a kill or a closed pipe ends the run without leaving a half
  // written temporary in the results folder. Only this road: the window
  // closes through its own handlers and lets the photos in progress finish.
  InstallInterruptCleanup();
  ConsoleHost host(options.settings, out, err, options.quiet, isatty(fileno(err)) != 0,
                   options.nullSeparated ? '\0' : '\n', cwd);
  BatchOptions batch;
  batch.jobs = options.jobs;
  batch.fast = options.fast;
  batch.outputFolder = options.outputFolder;
  batch.bandColour = options.bandColour;
  BatchReport report = RunBatch(options.photos, host, batch);
  if (!report.refusal.empty()) return kExitUsage;
  return report.allOk() ? kExitOk : kExitSomePhotosFailed;
}

}  // namespace trimbrel
