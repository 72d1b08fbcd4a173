// Touching a control of a window that is not loaded ends the process after a
// message box. The test runs itself as a child that does exactly that.
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <cstdio>

#include "test_windows.hpp"

using namespace trimbrel;
using namespace trimbrel::testing;

namespace {

const char* const kProbe = "TRIMBREL_FATAL_PROBE";

// Child side: answers the box (printing its text) and then touches the
// control named by the probe.
int RunProbe(const QByteArray& what) {
  auto* watcher = new QTimer(qApp);
  QObject::connect(watcher, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      std::printf("BOX:%s\n", box->text().toUtf8().constData());
      std::fflush(stdout);
      box->accept();
    }
  });
  watcher->start(10);
  if (what == "closed") {
    const WindowHandle h = loadWindow(SampleWindow());
    RequestClose(h);
    readProperty(h, kEdit, prop::kEditContent);
  } else if (what == "unknown-control") {
    const WindowHandle h = loadWindow(SampleWindow());
    writeProperty(h, 999, prop::kLeft, 1);
  } else {
    readProperty(12345, kWindowSelf, prop::kLeft);
  }
  std::printf("SURVIVED\n");
  return 0;
}

}  // namespace

class FatalErrorTest : public QObject {
  Q_OBJECT

 private slots:
  void endsTheProcessAfterTheMessage_data() {
    QTest::addColumn<QString>("probe");
    QTest::addColumn<QString>("detail");
    QTest::newRow("never loaded") << "unknown-window" << QStringLiteral("未载入欲访问窗口组件所在的窗口");
    QTest::newRow("closed") << "closed" << QStringLiteral("未载入欲访问窗口组件所在的窗口");
    QTest::newRow("no such control") << "unknown-control" << QStringLiteral("指定窗口尚未载入");
  }
  void endsTheProcessAfterTheMessage() {
    QFETCH(QString, probe);
    QFETCH(QString, detail);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kProbe, probe);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("BOX:运行时出错!\r\n\r\n错误信息：") + detail), qPrintable(out));
    QVERIFY(!out.contains("SURVIVED"));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QVERIFY(child.exitCode() != 0);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QByteArray probe = qgetenv(kProbe);
  if (!probe.isEmpty()) return RunProbe(probe);
  FatalErrorTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "fatal_error_test.moc"
