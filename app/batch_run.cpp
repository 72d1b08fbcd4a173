#include "app/batch_run.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <set>
#include <system_error>
#include <thread>

#include "app/jobs.hpp"
#include "app/paths.hpp"
#include "app/trim_engine.hpp"
#include "imaging/imaging.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

namespace {

constexpr OutputFormatEntry kFormats[] = {
    {"bmp", IMAGE_FORMAT_BMP}, {"jpg", IMAGE_FORMAT_JPG}, {"gif", IMAGE_FORMAT_GIF},
    {"tiff", IMAGE_FORMAT_TIF}, {"png", IMAGE_FORMAT_PNG},
};

struct RunPlan {
  TrimSettings settings;
  TargetSize target;
  OutputFormatEntry format;
  int resolution;
  bool folderReady;
  std::string folderError;
  bool fast;
  std::uint32_t bandColour;
  int displayDepth;
  MemoryBudget* memory = nullptr;  // set when photos are trimmed in parallel
};

void TrimOne(TrimWorker& worker, const RunPlan& plan, PhotoReport& report) {
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

// Lets the window and the command line hear of every photo on their own
// thread, in input order, however many workers there are.
class Coordinator {
 public:
  Coordinator(const std::vector<std::string>& photos, BatchReport& report, BatchHost& host, const RunPlan& plan)
      : photos_(photos), report_(report), host_(host), plan_(plan), done_(photos.size(), false) {}

  void runInline() {
    TrimWorker worker(plan_.target, plan_.bandColour, plan_.displayDepth);
    const int total = static_cast<int>(photos_.size());
    for (int i = 0; i < total; ++i) {
      if (stopping()) {
        skipFrom(static_cast<std::size_t>(i));
        return;
      }
      host_.photoStarted(total, i + 1, FileNameOf(photos_[static_cast<std::size_t>(i)]));
      process(worker, static_cast<std::size_t>(i));
      host_.photoFinished(total, i + 1, report_.photos[static_cast<std::size_t>(i)]);
    }
  }

  void runThreaded(int jobs) {
    std::vector<std::thread> threads;
    try {
      for (int j = 0; j < jobs; ++j) {
        {
          std::lock_guard lock(mutex_);
          ++workersLeft_;
        }
        try {
          threads.emplace_back([this] { workerLoop(); });
        } catch (const std::system_error&) {
          std::lock_guard lock(mutex_);
          --workersLeft_;
          throw;
        }
      }
    } catch (const std::system_error&) {
      // Fewer threads than asked for still drain the list.
    }
    if (threads.empty()) {
      runInline();
      return;
    }
    const int total = static_cast<int>(photos_.size());
    std::size_t nextOut = 0;
    while (nextOut < photos_.size()) {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return !events_.empty() || workersLeft_ == 0; });
      if (events_.empty()) break;  // every worker stopped early and said all it had
      Event event = events_.front();
      events_.pop_front();
      if (event.finished) done_[event.index] = true;
      lock.unlock();
      if (!event.finished) {
        host_.photoStarted(total, static_cast<int>(event.index) + 1, FileNameOf(photos_[event.index]));
        continue;
      }
      while (nextOut < photos_.size() && isDone(nextOut)) {
        host_.photoFinished(total, static_cast<int>(nextOut) + 1, report_.photos[nextOut]);
        ++nextOut;
      }
    }
    for (auto& t : threads) t.join();
    if (stopped_) {
      // Photos past the first one that never started were skipped; the
      // finished ones among them were reported above.
      for (std::size_t i = nextOut; i < photos_.size(); ++i) {
        if (isDone(i)) {
          host_.photoFinished(total, static_cast<int>(i) + 1, report_.photos[i]);
        } else {
          report_.photos[i].skipped = true;
        }
      }
      report_.stopped = true;
    }
  }

 private:
  struct Event {
    std::size_t index;
    bool finished;
  };

  bool stopping() {
    if (!stopped_ && host_.stopRequested()) stopped_ = true;
    return stopped_;
  }

  void skipFrom(std::size_t first) {
    for (std::size_t i = first; i < photos_.size(); ++i) report_.photos[i].skipped = true;
    report_.stopped = true;
  }

  bool isDone(std::size_t i) {
    std::lock_guard lock(mutex_);
    return done_[i];
  }

  void post(std::size_t index, bool finished) {
    {
      std::lock_guard lock(mutex_);
      events_.push_back({index, finished});
    }
    changed_.notify_one();
  }

  void process(TrimWorker& worker, std::size_t i) {
    PhotoReport& report = report_.photos[i];
    if (!plan_.folderReady) {
      report.writeError = plan_.folderError;
      return;
    }
    TrimOne(worker, plan_, report);
  }

  void workerLoop() {
    std::optional<TrimWorker> worker;
    try {
      worker.emplace(plan_.target, plan_.bandColour, plan_.displayDepth);
    } catch (const std::bad_alloc&) {
    }
    for (;;) {
      if (stopping()) break;
      std::size_t i = next_.fetch_add(1);
      if (i >= photos_.size()) break;
      post(i, false);
      if (worker) {
        process(*worker, i);
      } else {
        report_.photos[i].writeError = "out of memory";
      }
      post(i, true);
    }
    {
      std::lock_guard lock(mutex_);
      --workersLeft_;
    }
    changed_.notify_one();
  }

  const std::vector<std::string>& photos_;
  BatchReport& report_;
  BatchHost& host_;
  const RunPlan& plan_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Event> events_;
  std::vector<bool> done_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stopped_{false};
  int workersLeft_ = 0;  // guarded by mutex_
};

}  // namespace

OutputFormatEntry OutputFormatFor(int selection) {
  if (selection < 0 || selection > 4) selection = OutputFormat::JPG;
  return kFormats[selection];
}

std::string ResultsFolderFor(const std::string& firstPhoto) {
  // A bare name lies in the current folder, not at the root.
  if (firstPhoto.find('/') == std::string::npos) return "修剪结果/";
  return DirectoryOf(firstPhoto) + "/修剪结果/";
}

std::vector<std::string> AssignOutputNames(const std::vector<std::string>& photos, const std::string& folder,
                                           const std::string& extension) {
  std::vector<std::string> names;
  names.reserve(photos.size());
  std::set<std::string> taken;
  for (const std::string& photo : photos) {
    std::string base = folder + BaseNameOf(photo);
    std::string name = base + "." + extension;
    for (int k = 2; taken.count(name) != 0; ++k) name = base + " (" + std::to_string(k) + ")." + extension;
    taken.insert(name);
    names.push_back(std::move(name));
  }
  return names;
}

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
  report.refusal = CheckTargetSize(plan.target);
  if (!report.refusal.empty()) {
    host.runRefused(report.refusal);
    return report;
  }
  plan.format = OutputFormatFor(plan.settings.format);
  plan.resolution = StoredResolution(plan.settings.dpiText, plan.settings.unit);
  plan.fast = options.fast;
  plan.bandColour = options.bandColour;
  plan.displayDepth = options.displayDepth;

  report.folder = options.outputFolder.empty() ? ResultsFolderFor(photos.front()) : options.outputFolder;
  if (report.folder.back() != '/') report.folder += '/';
  const Result<void> folder = CreateDirectories(report.folder);
  plan.folderReady = folder.ok();
  if (!plan.folderReady) {
    plan.folderError = "cannot create the results folder " + report.folder + ": " + folder.error().reason;
  }

  std::vector<std::string> names = AssignOutputNames(photos, report.folder, plan.format.extension);
  report.photos.resize(photos.size());
  for (std::size_t i = 0; i < photos.size(); ++i) {
    report.photos[i].photo = photos[i];
    report.photos[i].output = names[i];
  }

  int jobs = options.jobs;
  if (jobs <= 0) jobs = DefaultJobCount(photos, plan.target, plan.settings.basis, plan.fast);
  jobs = std::clamp(jobs, 1, static_cast<int>(std::min<std::size_t>(photos.size(), 256)));

  MemoryBudget memory(AvailableMemory() / 2);
  if (jobs > 1 && plan.folderReady) plan.memory = &memory;
  Coordinator coordinator(photos, report, host, plan);
  if (jobs == 1 || !plan.folderReady) {
    coordinator.runInline();
  } else {
    coordinator.runThreaded(jobs);
  }
  host.runFinished(report);
  return report;
}

}  // namespace trimbrel
