// The main and tip windows as a person meets them: where every control is,
// the unit and DPI boxes, the Tab order, the tip window, the brand picture.
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include "desktop_fixture.hpp"
#include "platform/platform.hpp"
#include "ui/control_model.hpp"

using namespace trimbrel;
using namespace trimbrel::testing;
namespace id = trimbrel::main_id;

namespace {

// Where a control's table row puts it, in the coordinates of its parent.
QRect TableRect(const ControlDef& d) { return QRect(d.left, d.top, d.width, d.height); }

void ChooseUnit(WindowHandle window, Unit unit) {
  const int index = SelectionIndex(unit);
  auto* combo = qobject_cast<QComboBox*>(ControlWidget(window, id::kUnit));
  QVERIFY(combo);
  combo->setCurrentIndex(index);
  emit combo->activated(index);  // as a choice made with the mouse
}

bool DpiDisabled(WindowHandle window) { return ReadInt(window, id::kDpi, prop::kDisabled) != 0; }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // The windows as they open: titles, outer sizes, fixed frames with a
  // minimise but no maximise button, the controls' ids rising in definition
  // order, and the format list as its box shows it (two blanks after the
  // hyphen but for TIFF).
  void windowsOpenWithTheirTitlesAndSizes() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    QVERIFY(main);
    QWidget* window = WidgetOfWindow(main);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->windowTitle(),
             QStringLiteral("Trimbrel(Kestrim) v1.0.3.1 - 自动将照片修剪为新的尺寸，居中适应并且不会扭曲原图  "
                            "(可拖放图片到软件)"));
    QCOMPARE(window->frameGeometry().size(), QSize(857, 497));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
    std::int32_t previous = 0;
    for (const ControlEntry& e : listControls(main)) {
      QVERIFY(e.ref.id > previous);
      previous = e.ref.id;
    }
    QCOMPARE(previous, std::int32_t{id::kRunButton});
    auto* formats = qobject_cast<QComboBox*>(ControlWidget(main, id::kFormat));
    QVERIFY(formats);
    QCOMPARE(formats->count(), 5);
    QCOMPARE(formats->itemText(3), QStringLiteral("TIFF - 多通道富格式图像"));
    QCOMPARE(formats->itemText(4), QStringLiteral("PNG -  高压缩高质量网络图形"));

    t.controller->openTipWindow();
    QWidget* tip = WidgetOfWindow(t.controller->tipWindow());
    QVERIFY(tip);
    QVERIFY(QTest::qWaitForWindowExposed(tip));
    QCOMPARE(tip->windowTitle(), QStringLiteral("打赏作者"));
    QCOMPARE(tip->frameGeometry().size(), QSize(904, 692));
  }

  // Every visible control is drawn where its row puts it, and the picture
  // shows the white band with its rule and the grey window below.
  void layoutMatchesTheTables() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    QVERIFY(main);
    QWidget* window = WidgetOfWindow(main);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const WindowDef def = MainWindowDef({});
    for (const ControlDef& d : def.controls) {
      if (!d.visible || !IsWindowed(d.kind)) continue;
      QWidget* w = ControlWidget(main, d.id);
      QVERIFY2(w, d.name.c_str());
      QVERIFY2(w->isVisible(), d.name.c_str());
      QRect expected = TableRect(d);
      // The brand picture walks a pixel every 20 ms from its place, and on a
      // slow machine it may have left it before the window was exposed.
      if (d.id == id::kBrandPicture) expected.moveLeft(w->x());
      QCOMPARE(w->geometry(), expected);
      const QString parent = QString::fromStdString(d.parent);
      QWidget* expectedParent = parent.isEmpty() ? window : ControlWidget(main, id::kBand);
      QCOMPARE(w->parentWidget(), expectedParent);
    }
    QVERIFY(!ControlWidget(main, id::kPanel)->isVisible());
    const QImage shot = window->grab().toImage();
    QCOMPARE(shot.pixelColor(620, 40), QColor(Qt::white));   // the header band
    QVERIFY(shot.pixelColor(620, 88) != QColor(Qt::white));  // its 2-pixel rule
    const QColor face = window->palette().color(QPalette::Button);
    QCOMPARE(shot.pixelColor(20, 470), window->palette().color(QPalette::Window));
    QCOMPARE(shot.pixelColor(690, 325), QColor(Qt::white));  // the DPI box, enabled for 厘米
    ChooseUnit(main, Unit::Pixel);
    const QImage disabled = window->grab().toImage();
    QCOMPARE(disabled.pixelColor(690, 325), face);
    // Links show the hand; the labels do not.
    QCOMPARE(ControlWidget(main, id::kContactLink)->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(ControlWidget(main, id::kBrandPicture)->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(ControlWidget(main, id::kWidthLabel)->cursor().shape(), Qt::ArrowCursor);
  }

  void tipWindowLayout() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    t.controller->openTipWindow();
    const WindowHandle tip = t.controller->tipWindow();
    QVERIFY(tip);
    QVERIFY(QTest::qWaitForWindowExposed(WidgetOfWindow(tip)));
    for (const ControlDef& d : TipWindowDef().controls) QCOMPARE(ControlWidget(tip, d.id)->geometry(), TableRect(d));
    QCOMPARE(WidgetOfWindow(tip)->parentWidget(), WidgetOfWindow(main));
    const std::string thanks = ContentOf(tip, 1);
    QVERIFY(thanks.rfind("\r\n", 0) == 0);  // opens with an empty line
    QVERIFY(thanks.find("example.") != std::string::npos);
  }

  void unitDecidesTheDpiBox() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    QCOMPARE(ReadInt(main, id::kUnit, prop::kComboCurrent), SelectionIndex(Unit::Centimetre));
    QVERIFY(!DpiDisabled(main));
    ChooseUnit(main, Unit::Pixel);
    QVERIFY(DpiDisabled(main));
    ChooseUnit(main, Unit::Inch);
    QVERIFY(!DpiDisabled(main));
    // Set from code, as a restore does, the box follows only when asked.
    writeProperty(main, id::kUnit, prop::kComboCurrent, std::int32_t{0});
    QVERIFY(!DpiDisabled(main));
    t.controller->applyUnitState();
    QVERIFY(DpiDisabled(main));
    writeProperty(main, id::kUnit, prop::kComboCurrent, std::int32_t{-1});
    t.controller->applyUnitState();
    QVERIFY(!DpiDisabled(main));
  }

  void tabOrderSkipsADisabledDpiBox() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    QWidget* window = WidgetOfWindow(main);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto order = [&](bool pixels) {
      ChooseUnit(main, pixels ? Unit::Pixel : Unit::Centimetre);
      ControlWidget(main, id::kRunButton)->setFocus();
      std::vector<std::int32_t> seen;
      for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        std::int32_t found = 0;
        for (std::int32_t c = 1; c <= 25; ++c) {
          QWidget* w = ControlWidget(main, c);
          if (w && (w == focus || w->isAncestorOf(focus))) found = c;
        }
        seen.push_back(found);
      }
      return seen;
    };
    const std::vector<std::int32_t> all{id::kWidth, id::kHeight, id::kFormat, id::kBasis,
                                        id::kUnit,  id::kDpi,    id::kTipButton, id::kRunButton};
    QCOMPARE(order(false), all);
    std::vector<std::int32_t> withoutDpi{id::kWidth, id::kHeight, id::kFormat,    id::kBasis,
                                         id::kUnit,  id::kTipButton, id::kRunButton, id::kWidth};
    QCOMPARE(order(true), withoutDpi);
  }

  void tipWindowOpensOnce() {
    MainWindowUnderTest t;
    t.open();
    t.controller->openTipWindow();
    const WindowHandle tip = t.controller->tipWindow();
    QVERIFY(tip);
    t.controller->openTipWindow();
    QCOMPARE(t.controller->tipWindow(), tip);
    WidgetOfWindow(tip)->showMinimized();
    QTRY_VERIFY(WidgetOfWindow(tip)->isMinimized());
    t.controller->openTipWindow();
    QCOMPARE(t.controller->tipWindow(), tip);
    QTRY_VERIFY(!WidgetOfWindow(tip)->isMinimized());
    // Closing the tip window leaves the main one; the next click opens a fresh one.
    QVERIFY(RequestClose(tip));
    QCoreApplication::processEvents();
    QVERIFY(IsWindowLoaded(t.window));
    QCOMPARE(t.controller->tipWindow(), WindowHandle{0});
    t.controller->openTipWindow();
    QVERIFY(t.controller->tipWindow() != 0 && t.controller->tipWindow() != tip);
  }

  void closingTheMainWindowTakesTheTipWindow() {
    MainWindowUnderTest t;
    t.open();
    t.controller->openTipWindow();
    const WindowHandle tip = t.controller->tipWindow();
    QVERIFY(t.close());
    QCoreApplication::processEvents();
    QVERIFY(!IsWindowLoaded(tip));
  }

  void brandPictureBouncesAndStops() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    QCOMPARE(ReadInt(main, id::kBrandTimer, prop::kTimerInterval), 20);
    QCOMPARE(ReadInt(main, id::kBrandPicture, prop::kLeft), 360);
    for (int i = 0; i < 82; ++i) t.controller->bounceBrandPicture();
    QCOMPARE(ReadInt(main, id::kBrandPicture, prop::kLeft), 442);
    t.controller->bounceBrandPicture();
    QCOMPARE(ReadInt(main, id::kBrandPicture, prop::kLeft), 441);  // turned at 442
    for (int i = 0; i < 257; ++i) t.controller->bounceBrandPicture();
    QCOMPARE(ReadInt(main, id::kBrandPicture, prop::kLeft), 184);
    t.controller->bounceBrandPicture();
    QCOMPARE(ReadInt(main, id::kBrandPicture, prop::kLeft), 185);  // and back at 184
    // A right click stops it for good; a left click still opens the page.
    QWidget* brand = ControlWidget(main, id::kBrandPicture);
    QTest::mousePress(brand, Qt::RightButton);
    QTest::mouseRelease(brand, Qt::RightButton);
    QCOMPARE(ReadInt(main, id::kBrandTimer, prop::kTimerInterval), 0);
    const int stoppedAt = ReadInt(main, id::kBrandPicture, prop::kLeft);
    QTest::qWait(100);
    QCOMPARE(ReadInt(main, id::kBrandPicture, prop::kLeft), stoppedAt);
    QTest::mouseClick(brand, Qt::LeftButton);
    QCOMPARE(t.desktop.links, std::vector<std::string>{kMakerHomePage});
  }

  void pictureButtonsOpenTheirLinks() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    QTest::mouseClick(ControlWidget(main, id::kContactPicture), Qt::LeftButton);
    QTest::mouseClick(ControlWidget(main, id::kHomePicture), Qt::LeftButton);
    QCOMPARE(t.desktop.links, (std::vector<std::string>{kContactPage, kProductHomePage}));
    for (const std::string& link : t.desktop.links) QVERIFY(QUrl(QString::fromStdString(link)).host().endsWith(".example.org"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
