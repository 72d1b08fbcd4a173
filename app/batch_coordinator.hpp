// The workers of a batch run and the order the host hears of them in: any
// number of threads trim photos, and the thread that started the run tells
// the host of each photo in input order.
#pragma once

#include <cstdint>
#include <functional>

#include "app/batch_run.hpp"
#include "app/trim_engine.hpp"

namespace trimbrel {

// What every worker thread makes its own TrimWorker from.
struct WorkerSetup {
  TargetSize target;
  std::uint32_t bandColour = 0;
  int displayDepth = 24;
};

// Trims one photo into its report with the worker of the thread it runs on.
using PhotoTask = std::function<void(TrimWorker& worker, PhotoReport& report)>;

// Runs `task` for every photo of `report` on up to `jobs` threads (1: on
// this one) and calls the host's photoStarted and photoFinished on this
// thread, photoFinished in input order. Once the host asks to stop no
// further photo starts; those not started are marked skipped and the report
// stopped. A worker that cannot be made fails its photos with "out of memory".
void RunInInputOrder(BatchReport& report, BatchHost& host, const WorkerSetup& setup, int jobs,
                     const PhotoTask& task);

}  // namespace trimbrel
