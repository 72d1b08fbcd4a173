#include "desktop_fixture.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <fstream>
#include <sstream>

#include "platform/platform.hpp"
#include "ui/control_model.hpp"

namespace trimbrel::testing {

DesktopHooks FakeDesktop::hooks() {
  DesktopHooks h;
  h.chooseFiles = [this](QWidget*, const std::string& start) {
    ++dialogs;
    dialogStarts.push_back(start);
    return choose;
  };
  h.revealFolder = [this](const std::string& folder) { revealed.push_back(folder); };
  h.showMessage = [this](const CompletionMessage& m) {
    messages.push_back(m);
    captionsAtMessage.push_back(IsWindowLoaded(window) ? CaptionOf(window, main_id::kRunButton) : "");
  };
  h.openLink = [this](const std::string& address) { links.push_back(address); };
  return h;
}

MainWindowUnderTest::MainWindowUnderTest(const std::string& ini) {
  iniPath = ini.empty() ? (dir.path() + "/Trimbrel.ini").toStdString() : ini;
  config.setPath(iniPath);
  controller = std::make_unique<MainController>(config, desktop.hooks());
}

MainWindowUnderTest::~MainWindowUnderTest() {
  if (controller && controller->running()) waitForRun();
  if (IsWindowLoaded(window)) delete WidgetOfWindow(window);
  controller.reset();
}

WindowHandle MainWindowUnderTest::open() {
  window = controller->open();
  desktop.window = window;
  return window;
}

bool MainWindowUnderTest::close() { return RequestClose(window); }

bool MainWindowUnderTest::waitForRun(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (controller->running() && timer.elapsed() < milliseconds) QTest::qWait(5);
  QCoreApplication::processEvents();
  return !controller->running();
}

QWidget* ControlWidget(WindowHandle window, std::int32_t id) {
  WindowWidget* w = FindWindowWidget(window);
  Control* c = w ? w->control(id) : nullptr;
  return c ? c->widget.data() : nullptr;
}

std::string CaptionOf(WindowHandle window, std::int32_t id) {
  return GbkToUtf8(ReadText(window, id, prop::kButtonCaption));
}

std::string ContentOf(WindowHandle window, std::int32_t id) {
  return GbkToUtf8(ReadText(window, id, prop::kEditContent));
}

std::string WritePhoto(const QString& path, int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  for (int x = 0; x < width; x += 7) {
    for (int y = 0; y < height; ++y) image.setPixelColor(x, y, QColor(20, 40, 200));
  }
  if (!image.save(path, nullptr, 95)) qFatal("cannot write %s", qPrintable(path));
  return path.toStdString();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string Gbk(const std::string& utf8) { return Utf8ToGbk(utf8); }

}  // namespace trimbrel::testing
