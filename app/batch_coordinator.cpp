#include "app/batch_coordinator.hpp"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "app/paths.hpp"

namespace trimbrel {

namespace {

class Coordinator {
 public:
  Coordinator(BatchReport& report, BatchHost& host, const WorkerSetup& setup, const PhotoTask& task)
      : photos_(report.photos), report_(report), host_(host), setup_(setup), task_(task),
        done_(report.photos.size(), false) {}

  void runInline() {
    TrimWorker worker(setup_.target, setup_.bandColour, setup_.displayDepth);
    const int total = static_cast<int>(photos_.size());
    for (std::size_t i = 0; i < photos_.size(); ++i) {
      if (stopping()) {
        skipFrom(i);
        return;
      }
      host_.photoStarted(total, static_cast<int>(i) + 1, FileNameOf(photos_[i].photo));
      task_(worker, photos_[i]);
      host_.photoFinished(total, static_cast<int>(i) + 1, photos_[i]);
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
        host_.photoStarted(total, static_cast<int>(event.index) + 1, FileNameOf(photos_[event.index].photo));
        continue;
      }
      while (nextOut < photos_.size() && isDone(nextOut)) {
        host_.photoFinished(total, static_cast<int>(nextOut) + 1, photos_[nextOut]);
        ++nextOut;
      }
    }
    for (auto& t : threads) t.join();
    if (stopped_) {
      // Photos past the first one that never started were skipped; the
      // finished ones among them were reported above.
      for (std::size_t i = nextOut; i < photos_.size(); ++i) {
        if (isDone(i)) {
          host_.photoFinished(total, static_cast<int>(i) + 1, photos_[i]);
        } else {
          photos_[i].skipped = true;
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
    for (std::size_t i = first; i < photos_.size(); ++i) photos_[i].skipped = true;
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

  void workerLoop() {
    std::optional<TrimWorker> worker;
    try {
      worker.emplace(setup_.target, setup_.bandColour, setup_.displayDepth);
    } catch (const std::bad_alloc&) {
    }
    for (;;) {
      if (stopping()) break;
      std::size_t i = next_.fetch_add(1);
      if (i >= photos_.size()) break;
      post(i, false);
      if (worker) {
        task_(*worker, photos_[i]);
      } else {
        photos_[i].writeError = "out of memory";
      }
      post(i, true);
    }
    {
      std::lock_guard lock(mutex_);
      --workersLeft_;
    }
    changed_.notify_one();
  }

  std::vector<PhotoReport>& photos_;
  BatchReport& report_;
  BatchHost& host_;
  const WorkerSetup& setup_;
  const PhotoTask& task_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Event> events_;
  std::vector<bool> done_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stopped_{false};
  int workersLeft_ = 0;  // guarded by mutex_
};

}  // namespace

void RunInInputOrder(BatchReport& report, BatchHost& host, const WorkerSetup& setup, int jobs,
                     const PhotoTask& task) {
  Coordinator coordinator(report, host, setup, task);
  if (jobs <= 1) {
    coordinator.runInline();
  } else {
    coordinator.runThreaded(jobs);
  }
}

}  // namespace trimbrel
