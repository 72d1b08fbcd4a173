// The end of the process when a handler reads or writes through a window
// that is gone: a message box says why, then the process exits.
#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

#include "ui/control_model.hpp"

namespace trimbrel {

void FatalControlError(const char* utf8Detail) {
  const QString text = QStringLiteral("运行时出错!\r\n\r\n错误信息：") + QString::fromUtf8(utf8Detail);
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
  } else {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  }
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(EXIT_FAILURE);
}

}  // namespace trimbrel
