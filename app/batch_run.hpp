// The batch run: every photo of a list becomes one picture of the target
// size in the results folder. Whoever starts a run (the window, the command
// line) supplies the trim inputs and is told of progress and of the outcome
// through BatchHost; choosing files, showing the folder and the completion
// message stay with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/geometry.hpp"
#include "app/output_names.hpp"

namespace trimbrel {

struct PhotoReport {
  std::string photo;       // the entry as given
  std::string output;      // the file it is written to
  std::string readError;   // non-empty: not decoded ("cannot open", "unknown kind", "damaged", "too large")
  std::string writeError;  // non-empty: nothing was written under `output`
  bool written = false;    // a background-only picture of an unreadable photo counts as written
  bool skipped = false;    // not started: the run was asked to stop first
  bool keptExisting = false;  // unreadable, and a file already under `output` was kept, not written over
  int photoWidth = 0;
  int photoHeight = 0;
  Placement placement;
  int scaleDenom = 1;

  bool ok() const { return readError.empty() && writeError.empty() && written; }
};

struct BatchReport {
  std::string refusal;  // non-empty: the run was refused before anything was written
  std::string folder;   // the results folder, ending with "/"
  TargetSize target;
  std::vector<PhotoReport> photos;  // in input order
  bool stopped = false;  // asked to stop; the photos not started are marked skipped

  bool allOk() const;
};

// RunBatch may be called on any thread: a window runs it on a thread of its
// own and forwards these calls to its event loop, so it keeps painting.
class BatchHost {
 public:
  virtual ~BatchHost() = default;
  // One snapshot of the inputs, taken when the run starts.
  virtual TrimSettings readTrimSettings() = 0;
  // Asked before each photo starts, from any of the run's threads: true
  // starts no further photo, and the photos in progress finish whole.
  virtual bool stopRequested() { return false; }
  // Index counts from 1. These calls come on the thread that called RunBatch;
  // photoFinished comes in input order whatever order the workers finish in,
  // and not at all for a photo the run skipped after a stop.
  virtual void photoStarted(int /*total*/, int /*index*/, const std::string& /*fileName*/) {}
  virtual void photoFinished(int /*total*/, int /*index*/, const PhotoReport& /*report*/) {}
  virtual void runFinished(const BatchReport& /*report*/) {}
  virtual void runRefused(const std::string& /*message*/) {}
};

struct BatchOptions {
  int jobs = 1;                      // photos at once; 0 chooses by processors and memory
  bool fast = false;                 // JPEG photos may be decoded at a reduced scale
  std::string outputFolder;          // empty: ResultsFolderFor(first photo)
  std::uint32_t bandColour = 0x00F0F0F0;  // the surface's button-face colour, 0x00BBGGRR
  int displayDepth = 24;
};

// An empty list does nothing and tells the host nothing.
BatchReport RunBatch(const std::vector<std::string>& photos, BatchHost& host, const BatchOptions& options = {});

}  // namespace trimbrel
