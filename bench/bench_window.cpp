// Times a run of photos started from the main window, as a drop starts it,
// and how long the window goes without painting meanwhile. Needs a display
// (bench/window.sh runs it on a virtual X server).
//   bench_window OUTPUT_FOLDER PHOTO...
// Prints: "window_run_seconds S", "window_run_cpu_seconds C" (the whole
// process, during the run) and "longest_paint_gap_ms M".
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "desktop/desktop.hpp"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Notes the time of every paint of one widget.
class PaintClock : public QObject {
 public:
  explicit PaintClock(QElapsedTimer& clock) : clock_(clock) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      const qint64 now = clock_.elapsed();
      if (counting && last_ >= 0) longest = std::max(longest, now - last_);
      last_ = now;
    }
    return QObject::eventFilter(watched, event);
  }
  bool counting = false;
  qint64 longest = 0;

 private:
  QElapsedTimer& clock_;
  qint64 last_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: bench_window OUTPUT_FOLDER PHOTO...\n", stderr);
    return 2;
  }
  QApplication app(argc, argv);
  namespace fs = std::filesystem;
  const fs::path work = fs::absolute(argv[1]);
  fs::create_directories(work);

  trimbrel::ConfigModule config;
  config.setPath((work / "Trimbrel.ini").string());
  // Waiting in an event loop, not in a loop of processEvents calls, which
  // would keep a processor busy and slow the run it measures.
  QEventLoop loop;
  trimbrel::DesktopHooks hooks;
  hooks.chooseFiles = [](QWidget*, const std::string&) { return std::vector<std::string>{}; };
  hooks.revealFolder = [](const std::string&) {};
  hooks.showMessage = [&loop](const trimbrel::CompletionMessage&) { loop.quit(); };
  hooks.openLink = [](const std::string&) {};
  trimbrel::MainController controller(config, hooks);
  const trimbrel::WindowHandle main = controller.open();
  if (!main) return 1;

  // The photos go into one folder, so the results land in one place.
  std::vector<std::string> photos;
  for (int i = 2; i < argc; ++i) photos.push_back(fs::absolute(argv[i]).string());

  QElapsedTimer clock;
  clock.start();
  PaintClock paints(clock);
  // The brand picture moves every 20 ms, so it paints as long as the event
  // loop turns.
  for (QWidget* w : trimbrel::WidgetOfWindow(main)->findChildren<QWidget*>()) w->installEventFilter(&paints);
  QTimer::singleShot(300, &loop, &QEventLoop::quit);  // the window settles on the screen
  loop.exec();

  paints.counting = true;
  const double cpuStart = CpuSeconds();
  const qint64 start = clock.elapsed();
  controller.runPhotos(photos);
  loop.exec();
  const qint64 end = clock.elapsed();
  const double cpu = CpuSeconds() - cpuStart;
  paints.counting = false;
  std::printf("window_run_seconds %.4f\nwindow_run_cpu_seconds %.4f\nlongest_paint_gap_ms %lld\n",
              (end - start) / 1000.0, cpu, static_cast<long long>(paints.longest));
  return 0;
}
