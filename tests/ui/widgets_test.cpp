// The pieces under the controls: picture fitting, the text crossing, window
// placement and the browser fallback.
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "test_windows.hpp"
#include "ui/custom_widgets.hpp"

using namespace trimbrel;
using namespace trimbrel::testing;

class WidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    DeleteAllWindows();
  }

  // Larger pictures shrink with their proportions kept, each side cut to
  // whole pixels; smaller ones keep their size; both are centred.
  void pictureFit_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QRect>("placed");
    QTest::newRow("tall into wide box") << QSize(1080, 1200) << QSize(480, 400) << QRect(60, 0, 360, 400);
    QTest::newRow("cut to whole pixels") << QSize(1080, 986) << QSize(432, 546) << QRect(0, 76, 432, 394);
    QTest::newRow("fits: own size") << QSize(100, 50) << QSize(480, 400) << QRect(190, 175, 100, 50);
    QTest::newRow("odd remainder") << QSize(3, 3) << QSize(6, 6) << QRect(1, 1, 3, 3);
    QTest::newRow("wider only") << QSize(800, 10) << QSize(400, 400) << QRect(0, 197, 400, 5);
    QTest::newRow("empty picture") << QSize(0, 0) << QSize(10, 10) << QRect();
  }
  void pictureFit() {
    QFETCH(QSize, picture);
    QFETCH(QSize, box);
    QFETCH(QRect, placed);
    QCOMPARE(PictureBox::FitRect(picture, box), placed);
  }

  // A caption too wide for its button goes on more lines: between words
  // when they fit, inside a word that alone is too wide.
  void multiLineButtonCaptionsWrap_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("anywhere");
    QTest::addColumn<int>("lines");
    QTest::newRow("fits") << QStringLiteral("ab") << false << 1;
    QTest::newRow("between words") << QStringLiteral("abcdef abcdef abcdef") << false << 3;
    // How many lines depends on the font's letters; 0: more than one.
    QTest::newRow("one long name") << QStringLiteral("20/13:IMG_20240101_123456.jpg") << true << 0;
  }
  void multiLineButtonCaptionsWrap() {
    QFETCH(QString, caption);
    QFETCH(bool, anywhere);
    QFETCH(int, lines);
    QFont font;
    font.setPixelSize(20);
    const QFontMetrics metrics(font);
    const QRect area(0, 0, metrics.horizontalAdvance(QStringLiteral("abcdefgh")), 200);
    const int flags = WrappingButton::WrapFlags(metrics, area, caption);
    QCOMPARE((flags & Qt::TextWrapAnywhere) != 0, anywhere);
    const QRect used = metrics.boundingRect(area, flags, caption);
    QVERIFY(used.width() <= area.width());
    if (lines > 0) {
      QCOMPARE(used.height() / metrics.lineSpacing(), lines);
    } else {
      QVERIFY(used.height() / metrics.lineSpacing() > 1);
    }
  }

  // GBK bytes and CR LF line breaks on one side, Qt's strings on the other.
  void textCrossing() {
    QCOMPARE(ToGbk(QStringLiteral("修剪结果")), Gbk("修剪结果"));
    QCOMPARE(FromGbk(Gbk("修剪完成！")), QStringLiteral("修剪完成！"));
    QCOMPARE(ToGbk(QStringLiteral("a\u20AC\U0001F600b")), std::string("a\x80?b"));
    QCOMPARE(FromGbk(std::string()), QString());
    QCOMPARE(WithLf(QStringLiteral("一\r\n二\r\n")), QStringLiteral("一\n二\n"));
    QCOMPARE(WithLf(QStringLiteral("a\rb\n")), QStringLiteral("a\rb\n"));  // a lone CR or LF stays
    QCOMPARE(WithCrLf(QStringLiteral("一\n\n二")), QStringLiteral("一\r\n\r\n二"));
    QCOMPARE(WithCrLf(WithLf(QStringLiteral("a\r\nb"))), QStringLiteral("a\r\nb"));
  }

  void kindWordsAndWindowedKinds() {
    QCOMPARE(KindWord(Kind::EditBox), Gbk("编辑框"));
    QCOMPARE(KindWord(Kind::ChkListBox), Gbk("选择列表框"));
    QVERIFY(!IsWindowed(Kind::DropTarget));
    QVERIFY(IsWindowed(Kind::window));
  }

  void windowOpensCentredWithItsOuterSize() {
    WindowDef def = SampleWindow();
    def.width = 300;
    def.height = 200;
    const WindowHandle h = loadWindow(def);
    QWidget* w = WidgetOfWindow(h);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(w->frameGeometry().size(), QSize(300, 200));
    QCOMPARE(w->frameGeometry().topLeft(),
             QPoint(screen.x() + (screen.width() - 300) / 2, screen.y() + (screen.height() - 200) / 2));
    QCOMPARE(w->minimumSize(), w->maximumSize());  // not resizable
    QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));

    def.centred = false;
    const WindowHandle placed = loadWindow(def);
    QVERIFY(QTest::qWaitForWindowExposed(WidgetOfWindow(placed)));
    QCOMPARE(WidgetOfWindow(placed)->frameGeometry().topLeft(), QPoint(50, 50));
  }

  // With Enter moving the focus, a multi-line editable box still keeps Enter.
  void enterMovesFocusExceptInMultiLineEdits() {
    WindowDef def = SampleWindow();
    def.enterMovesFocus = true;
    for (ControlDef& c : def.controls) c.tabStop = true;
    const WindowHandle h = loadWindow(def);
    QWidget* w = WidgetOfWindow(h);
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QWidget* memo = WidgetOf(h, kMemo);
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), memo);
    QCOMPARE(ReadText(h, kMemo, prop::kEditContent), Gbk("\r\n第一行\r\n第二行"));
    QWidget* button = WidgetOf(h, kButton);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), WidgetOf(h, kMemo));  // the one defined before it
  }

  void browserFallbackTriesEachEntry() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath("browser.sh");
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened.tmp\"\n"
               "mv \"$(dirname \"$0\")/opened.tmp\" \"$(dirname \"$0\")/opened\"\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("BROWSER", (dir.filePath("missing-browser") + ":" + script + " %s").toUtf8());
    QVERIFY(StartBrowser(QStringLiteral("https://example.org/?a=1&b=2")));
    QFile opened(dir.filePath("opened"));
    QTRY_VERIFY_WITH_TIMEOUT(opened.exists(), 10000);
    QVERIFY(opened.open(QIODevice::ReadOnly));
    QCOMPARE(opened.readAll(), QByteArray("https://example.org/?a=1&b=2"));
    qputenv("BROWSER", "");
    QVERIFY(!StartBrowser(QStringLiteral("https://example.org")));
  }
};

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
