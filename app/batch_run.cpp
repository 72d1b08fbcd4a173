#include "app/batch_run.hpp"

#include <algorithm>
#include <new>

#include "app/batch_coordinator.hpp"
#include "app/jobs.hpp"
#include "app/paths.hpp"
#include "app/trim_engine.hpp"
#include "imaging/imaging.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

namespace {

struct RunPlan {
  TrimSettings settings;
  TargetSize target;
  OutputFormatEntry format;
  int resolution;
  std::string folderError;  // non-empty: the results folder cannot be had and no photo is written
  bool fast;
  MemoryBudget* memory = nullptr;  // set when photos are trimmed in parallel
};

// One photo: trimmed, given the run's resolution and encoded under its name.
void TrimAndSave(TrimWorker& worker, const RunPlan& plan, PhotoReport& report) {
  if (!plan.folderError.empty()) {
    report.writeError = plan.folderError;
    return;
  }
  try {
    // Parallel trims share the free memory: a large photo waits for room.
    MemoryHold hold(plan.memory,
                    plan.memory ? EstimateTrimMemory(report.photo, plan.target, plan.settings.basis, plan.fast) : 0);
    TrimOutcome outcome = worker.trim(report.photo, plan.settings.basis, plan.fast);
    report.readError = outcome.readError;
    report.photoWidth = outcome.photoWidth;
    report.photoHeight = outcome.photoHeight;
    report.placement = outcome.placement;
    report.scaleDenom = outcome.scaleDenom;
    if (!outcome.imageError.empty()) {
      report.writeError = "no picture to write: " + outcome.imageError;
      return;
    }
    ImageRef& image = worker.image();
    SetXDPI(image, plan.resolution);
    SetYDPI(image, plan.resolution);
    // The band colour alone never takes the place of an earlier result.
    const bool bandOnly = !report.readError.empty();
    const ExistingFile existing = bandOnly ? ExistingFile::Keep : ExistingFile::Replace;
    // The image object keeps its own words for the failure; the report gets
    // the English ones with what the system said.
    const Result<void> saved = SaveImage(image, report.output, plan.format.encoderFormat, existing);
    if (saved) {
      report.written = true;
    } else if (bandOnly && PathExists(report.output)) {
      report.keptExisting = true;
    } else {
      report.writeError = saved.error().reason;
    }
  } catch (const std::bad_alloc&) {
    report.writeError = "out of memory";
    Free(worker.image());
  }
}

}  // namespace

bool BatchReport::allOk() const {
  if (!refusal.empty()) return false;
  return std::all_of(photos.begin(), photos.end(), [](const PhotoReport& p) { return p.ok(); });
}

BatchReport RunBatch(const std::vector<std::string>& photos, BatchHost& host, const BatchOptions& options) {
  BatchReport report;
  if (photos.empty()) return report;

  RunPlan plan;
  plan.settings = host.readTrimSettings();
  plan.target = ToTargetSize(plan.settings);
  report.target = plan.target;
  if (const Result<void> size = CheckTargetSize(plan.target); !size) {
    report.refusal = size.error().reason;
    host.runRefused(report.refusal);
    return report;
  }
  plan.format = OutputFormatFor(plan.settings.format);
  plan.resolution = StoredResolution(plan.settings.dpiText, plan.settings.unit);
  plan.fast = options.fast;

  report.folder = ResultsFolder(options.outputFolder, photos.front());
  if (const Result<void> folder = CreateDirectories(report.folder); !folder) {
    plan.folderError = "cannot create the results folder " + report.folder + ": " + folder.error().reason;
  }

  std::vector<std::string> names = AssignOutputNames(photos, report.folder, plan.format.extension);
  report.photos.resize(photos.size());
  for (std::size_t i = 0; i < photos.size(); ++i) {
    report.photos[i].photo = photos[i];
    report.photos[i].output = names[i];
  }

  int jobs = 1;
  MemoryBudget memory(AvailableMemory() / 2);
  // Without a results folder every photo fails at once: no threads for that.
  if (plan.folderError.empty()) {
    jobs = options.jobs;
    if (jobs <= 0) jobs = DefaultJobCount(photos, plan.target, plan.settings.basis, plan.fast);
    jobs = std::clamp(jobs, 1, static_cast<int>(std::min<std::size_t>(photos.size(), 256)));
    if (jobs > 1) plan.memory = &memory;
  }
  const WorkerSetup setup{plan.target, options.bandColour, options.displayDepth};
  RunInInputOrder(report, host, setup, jobs,
                  [&plan](TrimWorker& worker, PhotoReport& photo) { TrimAndSave(worker, plan, photo); });
  host.runFinished(report);
  return report;
}

}  // namespace trimbrel
