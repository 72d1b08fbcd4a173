// A batch run started from the window. The run works on a thread of its
// own so the window keeps painting and answering the window manager; what
// the run reports reaches the window through its event loop. While it runs,
// clicks, keys and drops meant for the program are dropped, not queued:
// the inputs must not change under a run. Esc still goes through, since it
// asks the window to close.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "app/app.hpp"

namespace trimbrel {

class WindowRun : public QObject {
  Q_OBJECT

 public:
  struct Callbacks {
    std::function<void(int total, int index, const std::string& fileName)> photoStarted;
    std::function<void(const BatchReport& report)> finished;
  };

  explicit WindowRun(Callbacks callbacks, QObject* parent = nullptr);
  ~WindowRun() override;  // waits for a run still going

  bool running() const { return running_; }
  // Starts the run on its own thread; false when one is going already.
  bool start(std::vector<std::string> photos, TrimSettings settings, BatchOptions options);
  // The photos in progress finish whole; no further one starts.
  void requestStop() { stop_ = true; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Host;
  void finish(const BatchReport& report);

  Callbacks callbacks_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  bool running_ = false;
};

}  // namespace trimbrel
