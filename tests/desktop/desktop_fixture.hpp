// Shared by the window program's tests: stand-ins for the desktop, a main
// window on a settings file of its own, and photos made on the spot.
#pragma once

#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "desktop/desktop.hpp"

namespace trimbrel::testing {

// Records what the window asked of the desktop; the dialog answers with
// `choose` (empty: cancelled).
struct FakeDesktop {
  std::vector<std::string> choose;
  int dialogs = 0;
  std::vector<std::string> dialogStarts;
  std::vector<std::string> revealed;
  std::vector<CompletionMessage> messages;
  std::vector<std::string> captionsAtMessage;  // the run button's caption as each message showed
  std::vector<std::string> links;
  WindowHandle window = 0;  // for captionsAtMessage

  DesktopHooks hooks();
};

// A main window with its controller and settings file in a fresh folder.
class MainWindowUnderTest {
 public:
  explicit MainWindowUnderTest(const std::string& iniPath = {});
  ~MainWindowUnderTest();

  WindowHandle open();
  // Closes the main window as its close button would; true when it closed.
  bool close();
  // Waits until no run is going on.
  bool waitForRun(int milliseconds = 60000);

  QTemporaryDir dir;
  std::string iniPath;
  FakeDesktop desktop;
  ConfigModule config;
  std::unique_ptr<MainController> controller;
  WindowHandle window = 0;
};

QWidget* ControlWidget(WindowHandle window, std::int32_t id);
std::string CaptionOf(WindowHandle window, std::int32_t id);  // UTF-8
std::string ContentOf(WindowHandle window, std::int32_t id);  // UTF-8

// A photo of w × h written with Qt's own writer (JPEG or PNG by the name).
std::string WritePhoto(const QString& path, int width, int height, QColor color = QColor(200, 120, 40));

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
std::string Gbk(const std::string& utf8);

}  // namespace trimbrel::testing
