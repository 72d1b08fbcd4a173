#include "desktop/window_program.hpp"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/app.hpp"
#include "desktop/ini_location.hpp"
#include "desktop/main_controller.hpp"
#include "desktop/resources.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

namespace {

// A signal only writes a byte here; the event loop reads it and closes the
// window as its close button would, so the inputs are saved.
int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  const int saved = errno;
  [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &byte, 1);
  errno = saved;
}

bool WatchCloseSignals() {
  if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(sig, &action, nullptr);
  return true;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return {};
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void ShowSettingsMessage(MessageBoxStyle style, const std::string& title, const std::string& text) {
  QMessageBox box(style == MessageBoxStyle::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                  QString::fromStdString(GbkToUtf8(title)), QString::fromStdString(GbkToUtf8(text)),
                  QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  if (style == MessageBoxStyle::Exclamation) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  box.exec();
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (const char* name : {"icon-16.png", "icon-32.png", "icon-48.png", "icon-64.png", "icon-128.png", "icon-256.png"}) {
    icon.addFile(QString::fromStdString(AssetPath(name)));
  }
  return icon;
}

bool HasDisplay() {
  return !Env("QT_QPA_PLATFORM").empty() || !Env("DISPLAY").empty() || !Env("WAYLAND_DISPLAY").empty();
}

}  // namespace

int RunWindowProgram(int argc, char** argv, std::vector<std::string> photos) {
  if (!HasDisplay()) {
    std::fputs("trimbrel: there is no display to open the window on.\n"
               "Give photos to trim them from the command line; 'trimbrel --help' shows how.\n",
               stderr);
    return kExitUsage;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("trimbrel"));
  QApplication::setApplicationVersion(QString::fromLatin1(ProgramVersion()));
  QApplication::setDesktopFileName(QStringLiteral(TRIMBREL_APP_ID));  // the launcher's name
  QApplication::setWindowIcon(ApplicationIcon());

  const std::string programFolder = ExecutableFolder();
  const IniLocation ini = ChooseIniLocation(programFolder, Env("XDG_CONFIG_HOME"), HomeFolder());
  if (ini.portable) {
    // A portable copy keeps its photos' dialog starting beside it.
    [[maybe_unused]] int changed = ::chdir(programFolder.c_str());
  } else if (!ini.path.empty()) {
    // Without the folder the INI file cannot be opened, which setPath handles.
    [[maybe_unused]] const Result<void> made = CreateDirectories(DirectoryOf(ini.path) + "/");
  }

  ConfigModule config;
  config.setMessagePump([] { QCoreApplication::processEvents(); });
  config.setMessageBox(ShowSettingsMessage);
  // A file that cannot be opened (another copy holds it) leaves the program
  // running with the window's own values and nothing saved.
  config.setPath(ini.path);

  MainController controller(config, DefaultDesktopHooks());
  if (controller.open() == 0) return 1;
  if (!photos.empty()) controller.runPhotosOnceShown(std::move(photos));

  QSocketNotifier* notifier = nullptr;
  if (WatchCloseSignals()) {
    notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&controller] {
      char bytes[16];
      while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
      }
      controller.requestQuit();
    });
  }
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                   [&controller](QSessionManager&) { controller.requestQuit(); });
  return QApplication::exec();
}

}  // namespace trimbrel
