#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "test_windows.hpp"

using namespace trimbrel;
using namespace trimbrel::testing;

namespace {

struct Drop {
  bool entered = false;           // the drag enter was accepted
  Qt::DropAction effect = Qt::IgnoreAction;
  bool dropAccepted = false;      // what the source hears
};

// Drags data over the window and drops it, as the system would.
Drop DragAndDrop(WindowHandle window, const QMimeData& data, Qt::KeyboardModifiers keys = {},
                 Qt::DropActions allowed = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
  QWidget* target = WidgetOfWindow(window);
  Drop result;
  QDragEnterEvent enter(QPoint(20, 20), allowed, &data, Qt::LeftButton, keys);
  QApplication::sendEvent(target, &enter);
  result.entered = enter.isAccepted();
  result.effect = enter.dropAction();
  QDragMoveEvent move(QPoint(30, 30), allowed, &data, Qt::LeftButton, keys);
  QApplication::sendEvent(target, &move);
  QDropEvent drop(QPointF(30, 30), allowed, &data, Qt::LeftButton, keys);
  QApplication::sendEvent(target, &drop);
  result.dropAccepted = drop.isAccepted() || drop.dropAction() != Qt::IgnoreAction;
  return result;
}

std::unique_ptr<QMimeData> Files(const QStringList& paths) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const QString& p : paths) urls.append(QUrl::fromLocalFile(p));
  data->setUrls(urls);
  return data;
}

using Row = std::pair<DropEvent, std::string>;
struct Received {
  std::vector<Row> events;
};

WindowHandle LoadWithTarget(Received& received, bool text, bool html, bool address, bool files,
                            std::optional<std::int32_t> answer = std::nullopt) {
  WindowDef def = SampleWindow();
  ControlDef& drop = def.controls[kDrop - 1];
  drop.acceptText = text;
  drop.acceptHtml = html;
  drop.acceptAddress = address;
  drop.acceptFiles = files;
  for (DropEvent n : {DropEvent::TextDropped, DropEvent::HtmlDropped, DropEvent::AddressDropped,
                      DropEvent::FilesDropped}) {
    drop.events[n] = [&received, answer](const EventArgs& e) {
      received.events.emplace_back(std::get<DropEvent>(e.event), e.text);
      return answer;
    };
  }
  const WindowHandle h = loadWindow(def);
  if (h && !registerDropTarget({h, kDrop}, h)) return 0;
  return h;
}

}  // namespace

class DropTargetTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    DeleteAllWindows();
  }

  void effectRules_data() {
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("keys");
    QTest::addColumn<int>("allowed");
    QTest::addColumn<int>("effect");
    const int all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    const int ctrl = Qt::ControlModifier;
    const int shift = Qt::ShiftModifier;
    QTest::newRow("not accepted") << false << 0 << all << int(Qt::IgnoreAction);
    QTest::newRow("ctrl+shift refuses") << true << (ctrl | shift) << all << int(Qt::IgnoreAction);
    QTest::newRow("ctrl copies") << true << ctrl << all << int(Qt::CopyAction);
    QTest::newRow("ctrl without copy") << true << ctrl << int(Qt::MoveAction) << int(Qt::IgnoreAction);
    QTest::newRow("shift moves") << true << shift << all << int(Qt::MoveAction);
    QTest::newRow("shift without move") << true << shift << int(Qt::CopyAction) << int(Qt::IgnoreAction);
    QTest::newRow("plain copies") << true << 0 << all << int(Qt::CopyAction);
    QTest::newRow("plain then move") << true << 0 << int(Qt::MoveAction | Qt::LinkAction) << int(Qt::MoveAction);
    QTest::newRow("plain then link") << true << 0 << int(Qt::LinkAction) << int(Qt::LinkAction);
    QTest::newRow("nothing allowed") << true << 0 << 0 << int(Qt::IgnoreAction);
  }
  void effectRules() {
    QFETCH(bool, accepted);
    QFETCH(int, keys);
    QFETCH(int, allowed);
    QFETCH(int, effect);
    QCOMPARE(int(DropEffect(accepted, Qt::KeyboardModifiers(keys), Qt::DropActions(allowed))), effect);
  }

  // One path alone; several each followed by CR LF; a folder like a file.
  void fileDropsBecomeOnePathText() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString a = dir.filePath("照片一.jpg");
    const QString b = dir.filePath("b.png");
    const QString c = dir.filePath("c d.gif");
    const std::string na = QFile::encodeName(a).toStdString();
    const std::string nb = QFile::encodeName(b).toStdString();
    const std::string nc = QFile::encodeName(c).toStdString();
    const std::string folder = QFile::encodeName(dir.path()).toStdString();

    struct Case {
      QStringList paths;
      std::string text;
    };
    const std::vector<Case> cases{
        {{a}, na},
        {{a, b, c}, na + "\r\n" + nb + "\r\n" + nc + "\r\n"},
        {{dir.path()}, folder},
        {{dir.path() + "/"}, folder},
        {{}, ""},
    };
    for (const Case& k : cases) {
      Received received;
      const WindowHandle h = LoadWithTarget(received, false, false, false, true);
      QVERIFY(h);
      const Drop drop = DragAndDrop(h, *Files(k.paths));
      QVERIFY2(drop.entered, qPrintable(k.paths.join(',')));
      QCOMPARE(drop.effect, Qt::CopyAction);
      QVERIFY2(!drop.dropAccepted, "a drop is always reported as failed");
      QCOMPARE(received.events.size(), std::size_t{1});
      QCOMPARE(received.events[0].first, DropEvent::FilesDropped);
      QCOMPARE(received.events[0].second, k.text);
      delete WidgetOfWindow(h);
    }
  }

  void refusedDrops_data() {
    QTest::addColumn<int>("keys");
    QTest::addColumn<QString>("kind");
    QTest::newRow("text") << 0 << "text";
    QTest::newRow("html selection") << 0 << "html";
    QTest::newRow("web address") << 0 << "address";
    QTest::newRow("files with ctrl+shift") << int(Qt::ControlModifier | Qt::ShiftModifier) << "files";
  }
  void refusedDrops() {
    QFETCH(int, keys);
    QFETCH(QString, kind);
    QMimeData data;
    if (kind == "text") data.setText("hello");
    if (kind == "html") {
      data.setHtml("<b>hello</b>");
      data.setText("hello");
    }
    if (kind == "address") data.setUrls({QUrl("https://example.org/a.jpg")});
    if (kind == "files") data.setUrls({QUrl::fromLocalFile("/tmp/a.jpg")});
    Received received;
    const WindowHandle h = LoadWithTarget(received, false, false, false, true);
    QVERIFY(h);
    const Drop drop = DragAndDrop(h, data, Qt::KeyboardModifiers(keys));
    QVERIFY(!drop.entered);
    QCOMPARE(drop.effect, Qt::IgnoreAction);
    QVERIFY(received.events.empty());
  }

  // With every switch on: text only when no HTML comes with it, then HTML,
  // address and files; a handler returning false ends the drop.
  void formatsAreDeliveredInOrder() {
    QMimeData data;
    data.setHtml(QStringLiteral("<p>a\u00A0b 照片</p>"));
    data.setText("plain");
    data.setUrls({QUrl("https://example.org/x"), QUrl::fromLocalFile("/tmp/p.jpg")});
    Received received;
    WindowHandle h = LoadWithTarget(received, true, true, true, true);
    QVERIFY(h);
    DragAndDrop(h, data);
    QCOMPARE(received.events,
             (std::vector<Row>{{DropEvent::HtmlDropped, Gbk("<p>a b 照片</p>")},
                               {DropEvent::AddressDropped, "https://example.org/x"},
                               {DropEvent::FilesDropped, "/tmp/p.jpg"}}));
    delete WidgetOfWindow(h);

    Received stopped;
    h = LoadWithTarget(stopped, true, true, true, true, 0);
    DragAndDrop(h, data);
    QCOMPARE(stopped.events.size(), std::size_t{1});
    delete WidgetOfWindow(h);

    QMimeData text;
    text.setText(QStringLiteral("文字"));
    Received plain;
    h = LoadWithTarget(plain, true, false, false, false);
    DragAndDrop(h, text, Qt::ShiftModifier);  // a move is still delivered, and still fails
    QCOMPARE(plain.events, (std::vector<Row>{{DropEvent::TextDropped, Gbk("文字")}}));
  }

  void switchesChangeAcceptanceAtOnce() {
    Received received;
    const WindowHandle h = LoadWithTarget(received, false, false, false, true);
    QVERIFY(h);
    QMimeData text;
    text.setText("x");
    QVERIFY(!DragAndDrop(h, text).entered);
    writeProperty(h, kDrop, prop::kDropText, 1);
    QVERIFY(DragAndDrop(h, text).entered);
    writeProperty(h, kDrop, prop::kDropFiles, 0);
    QVERIFY(!DragAndDrop(h, *Files({"/tmp/a.jpg"})).entered);
    QCOMPARE(received.events.size(), std::size_t{1});
  }

  void registersOnceAndDropsArriveOnce() {
    Received received;
    const WindowHandle h = LoadWithTarget(received, false, false, false, true);
    QVERIFY(h);
    QVERIFY(!registerDropTarget({h, kDrop}, h));
    QVERIFY(!registerDropTarget({h, kEdit}, h));  // not a drop target
    DragAndDrop(h, *Files({"/tmp/a.jpg"}));
    QCOMPARE(received.events.size(), std::size_t{1});
    // The controls leave drops to the window, so a path never lands in an edit box.
    QVERIFY(WidgetOfWindow(h)->acceptDrops());
    QVERIFY(!WidgetOf(h, kEdit)->acceptDrops());
  }

  // A target may serve another window; its events name its own window, and
  // once that window is gone the other one simply stops taking drops.
  void targetOfAnotherWindow() {
    using Received = std::pair<WindowHandle, std::string>;
    std::vector<Received> received;
    WindowDef def = SampleWindow();
    def.controls[kDrop - 1].events[DropEvent::FilesDropped] = [&received](const EventArgs& e) {
      received.emplace_back(e.source.window, e.text);
      return std::optional<std::int32_t>();
    };
    const WindowHandle owner = loadWindow(def);
    const WindowHandle other = loadWindow(SampleWindow());
    QVERIFY(registerDropTarget({owner, kDrop}, other));
    QVERIFY(DragAndDrop(other, *Files({"/tmp/a.jpg"})).entered);
    QCOMPARE(received, (std::vector<Received>{{owner, "/tmp/a.jpg"}}));
    QVERIFY(RequestClose(owner));
    QVERIFY(!DragAndDrop(other, *Files({"/tmp/b.jpg"})).entered);
    QCOMPARE(received.size(), std::size_t{1});
  }

  void unregisteredWindowSeesNoDrags() {
    const WindowHandle h = loadWindow(SampleWindow());
    const Drop drop = DragAndDrop(h, *Files({"/tmp/a.jpg"}));
    QVERIFY(!drop.entered);
    QVERIFY(!WidgetOfWindow(h)->acceptDrops());
  }
};

QTEST_MAIN(DropTargetTest)
#include "drop_target_test.moc"
