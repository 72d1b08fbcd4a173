#include "desktop/window_run.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMetaObject>

namespace trimbrel {

// Runs on the run's thread; everything it hears is handed to the window's
// thread as a queued call.
class WindowRun::Host : public BatchHost {
 public:
  Host(WindowRun* owner, TrimSettings settings) : owner_(owner), settings_(std::move(settings)) {}

  TrimSettings readTrimSettings() override { return settings_; }
  bool stopRequested() override { return owner_->stop_.load(); }
  void photoStarted(int total, int index, const std::string& fileName) override {
    WindowRun* owner = owner_;
    QMetaObject::invokeMethod(
        owner,
        [owner, total, index, fileName] {
          if (owner->callbacks_.photoStarted) owner->callbacks_.photoStarted(total, index, fileName);
        },
        Qt::QueuedConnection);
  }

 private:
  WindowRun* owner_;
  TrimSettings settings_;
};

WindowRun::WindowRun(Callbacks callbacks, QObject* parent) : QObject(parent), callbacks_(std::move(callbacks)) {}

WindowRun::~WindowRun() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (running_) QCoreApplication::instance()->removeEventFilter(this);
}

bool WindowRun::start(std::vector<std::string> photos, TrimSettings settings, BatchOptions options) {
  if (running_) return false;
  if (thread_.joinable()) thread_.join();
  running_ = true;
  stop_ = false;
  QCoreApplication::instance()->installEventFilter(this);
  thread_ = std::thread([this, photos = std::move(photos), settings = std::move(settings), options] {
    Host host(this, settings);
    BatchReport report = RunBatch(photos, host, options);
    QMetaObject::invokeMethod(this, [this, report] { finish(report); }, Qt::QueuedConnection);
  });
  return true;
}

void WindowRun::finish(const BatchReport& report) {
  if (thread_.joinable()) thread_.join();
  QCoreApplication::instance()->removeEventFilter(this);
  running_ = false;
  if (callbacks_.finished) callbacks_.finished(report);
}

bool WindowRun::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
      // Esc asks the window to close; that must still reach it.
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && event->type() == QEvent::KeyPress) break;
      return true;
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Shortcut:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
      return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      // Not accepted: the drag is refused, and a source that moves files
      // keeps them.
      event->ignore();
      return true;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace trimbrel
