// The screenshot in the package's description is the main window as this
// code draws it. With TRIMBREL_WRITE_SCREENSHOT=FILE the test draws it into
// FILE (data/screenshots/make-screenshot.sh does that); otherwise it checks
// that the committed picture shows the window as it is.
#include <QtTest>

#include <cstdlib>

#include "desktop_fixture.hpp"

using namespace trimbrel;
using namespace trimbrel::testing;

namespace {

QImage MainWindowPicture() {
  MainWindowUnderTest t;
  const WindowHandle main = t.open();
  if (main == 0) return {};
  QWidget* window = WidgetOfWindow(main);
  QCoreApplication::processEvents();
  return window->grab().toImage().convertToFormat(QImage::Format_RGB888);
}

// Pixels whose channels all lie within `tolerance` of each other; font
// smoothing may move a few edge pixels, a changed window moves many more.
double SharedPixels(const QImage& a, const QImage& b, int tolerance) {
  long same = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      if (std::abs(qRed(p) - qRed(q)) <= tolerance && std::abs(qGreen(p) - qGreen(q)) <= tolerance &&
          std::abs(qBlue(p) - qBlue(q)) <= tolerance) {
        ++same;
      }
    }
  }
  return double(same) / (double(a.width()) * a.height());
}

}  // namespace

class ScreenshotTest : public QObject {
  Q_OBJECT

 private slots:
  void theCommittedScreenshotShowsTheWindow() {
    const QImage now = MainWindowPicture();
    QVERIFY(!now.isNull());
    if (const char* target = std::getenv("TRIMBREL_WRITE_SCREENSHOT"); target && *target) {
      QVERIFY(now.save(QString::fromLocal8Bit(target), "PNG", 9));
      return;
    }
    const QImage committed = QImage(QStringLiteral(TRIMBREL_SCREENSHOT)).convertToFormat(QImage::Format_RGB888);
    QVERIFY2(!committed.isNull(), TRIMBREL_SCREENSHOT " cannot be read");
    QVERIFY2(committed.size() == now.size(), "the window changed size: run data/screenshots/make-screenshot.sh");
    const double shared = SharedPixels(committed, now, 24);
    QVERIFY2(shared >= 0.97, qPrintable(QString("only %1 % of the screenshot matches the window: run "
                                                "data/screenshots/make-screenshot.sh")
                                            .arg(shared * 100, 0, 'f', 1)));
  }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
