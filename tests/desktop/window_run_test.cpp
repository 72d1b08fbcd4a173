// Runs started from the window: the dialog, drops, the progress caption, the
// completion message, a close in the middle of a run, and input during it.
#include <QDir>
#include <QProcess>
#include <QMimeData>
#include <QUrl>
#include <QtTest>

#include <cstdlib>
#include <filesystem>

#include "desktop_fixture.hpp"
#include "platform/platform.hpp"

using namespace trimbrel;
using namespace trimbrel::testing;
namespace id = trimbrel::main_id;
namespace fs = std::filesystem;

namespace {

const std::string kResults = "修剪结果";

bool DragAndDrop(WindowHandle window, const QMimeData& data) {
  QWidget* target = WidgetOfWindow(window);
  const Qt::DropActions allowed = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(QPoint(20, 20), allowed, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(QPoint(30, 30), allowed, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &move);
  QDropEvent drop(QPointF(30, 30), allowed, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &drop);
  return true;
}

std::unique_ptr<QMimeData> Files(const std::vector<std::string>& paths) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const std::string& p : paths) urls.append(QUrl::fromLocalFile(QString::fromStdString(p)));
  data->setUrls(urls);
  return data;
}

QSize SizeOf(const std::string& path) { return QImage(QString::fromStdString(path)).size(); }

void SetInputs(WindowHandle main, const char* width, const char* height, Unit unit, OutputFormat format) {
  writeProperty(main, id::kWidth, prop::kEditContent, Gbk(width));
  writeProperty(main, id::kHeight, prop::kEditContent, Gbk(height));
  writeProperty(main, id::kUnit, prop::kComboCurrent, SelectionIndex(unit));
  writeProperty(main, id::kFormat, prop::kComboCurrent, SelectionIndex(format));
}

}  // namespace

class WindowRunTest : public QObject {
  Q_OBJECT

 private slots:
  void theButtonRunsTheChosenPhotos() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    const QString folder = t.dir.path() + "/photos";
    QDir().mkpath(folder);
    const std::string a = WritePhoto(folder + "/a.jpg", 300, 400);
    const std::string b = WritePhoto(folder + "/b.png", 640, 480);
    const std::string c = WritePhoto(folder + "/c.jpg", 200, 200);
    writeProperty(main, id::kFormat, prop::kComboCurrent, SelectionIndex(OutputFormat::PNG));
    t.desktop.choose = {a, b, c};
    QTest::mouseClick(ControlWidget(main, id::kRunButton), Qt::LeftButton);
    QVERIFY(t.waitForRun());
    QCOMPARE(t.desktop.dialogs, 1);
    QCOMPARE(t.desktop.dialogStarts.front(), QDir::currentPath().toStdString());
    const std::string out = folder.toStdString() + "/" + kResults + "/";
    QCOMPARE(t.desktop.revealed, std::vector<std::string>{out});
    QCOMPARE(t.desktop.messages.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(t.desktop.messages[0].text), QStringLiteral("修剪完成！"));
    QCOMPARE(QString::fromStdString(t.desktop.messages[0].title), QStringLiteral("Kelvra："));
    QVERIFY(!t.desktop.messages[0].warning);
    // The caption showed the last photo while the message was up, and is back after.
    QCOMPARE(t.desktop.captionsAtMessage.front(), std::string("3/3:c.jpg"));
    QCOMPARE(CaptionOf(main, id::kRunButton), std::string(kRunCaption));
    for (const char* name : {"a.png", "b.png", "c.png"}) QCOMPARE(SizeOf(out + name), QSize(154, 189));
    // The next dialog opens where the photos were chosen.
    t.desktop.choose.clear();
    t.controller->onRunClicked();
    QCOMPARE(t.desktop.dialogStarts.back(), folder.toStdString());
  }

  void progressCaption() {
    QCOMPARE(ProgressCaption(3, 2, "b.jpg"), std::string("3/2:b.jpg"));
    QCOMPARE(ProgressCaption(12, 3, "IMG_0007.JPG"), std::string("12/3:IMG_0007.JPG"));
  }

  void aCancelledDialogDoesNothing() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    writeProperty(main, id::kRunButton, prop::kButtonCaption, Gbk("不变"));
    t.controller->onRunClicked();
    QVERIFY(!t.controller->running());
    QCOMPARE(t.desktop.dialogs, 1);
    QVERIFY(t.desktop.messages.empty() && t.desktop.revealed.empty());
    QCOMPARE(CaptionOf(main, id::kRunButton), std::string("不变"));
  }

  void dropsRunTheirListInOrder_data() {
    QTest::addColumn<QStringList>("names");
    QTest::newRow("one photo") << QStringList{"one.jpg"};
    QTest::newRow("three photos") << QStringList{"z.jpg", "a.png", "m.jpg"};
    QTest::newRow("a folder among photos") << QStringList{"p.jpg", "folder", "q.jpg"};
  }
  void dropsRunTheirListInOrder() {
    QFETCH(QStringList, names);
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    std::vector<std::string> paths;
    for (const QString& name : names) {
      const QString path = t.dir.path() + "/" + name;
      if (name.contains('.')) {
        WritePhoto(path, 120, 90);
      } else {
        QDir().mkpath(path);
      }
      paths.push_back(path.toStdString());
    }
    QVERIFY(DragAndDrop(main, *Files(paths)));
    QVERIFY(t.waitForRun());
    QCOMPARE(t.desktop.dialogs, 0);
    QCOMPARE(t.desktop.messages.size(), std::size_t{1});
    QCOMPARE(t.desktop.captionsAtMessage.front(),
             ProgressCaption(int(paths.size()), int(paths.size()), FileNameOf(paths.back())));
    const std::string out = t.dir.path().toStdString() + "/" + kResults + "/";
    for (const std::string& p : paths) {
      const std::string written = out + BaseNameOf(p) + ".jpg";
      QVERIFY2(fs::exists(written), written.c_str());
      QCOMPARE(SizeOf(written), QSize(154, 189));
    }
    // A folder gives the band-colour picture, and the message says it was not a photo.
    const bool hasFolder = names.contains("folder");
    QCOMPARE(t.desktop.messages[0].warning, hasFolder);
  }

  // Photos handed over at start (trimbrel --window, a file manager's "Open
  // with") run only once the event loop is up, with the inputs the window
  // restored, and end exactly as the same list dropped on the window does.
  void photosGivenAtStartRunAsADrop() {
    QTemporaryDir dir;
    const std::string ini = (dir.path() + "/Trimbrel.ini").toStdString();
    WriteFile(ini, Gbk("[主界面]\r\n组合框单位=0\r\n编辑框宽=120\r\n编辑框高=80\r\n组合框保存格式=4\r\n组合框基准=1"));
    const QString folder = dir.path() + "/photos";
    QDir().mkpath(folder + "/sub");
    const std::vector<std::string> photos = {WritePhoto(folder + "/b.jpg", 300, 100), folder.toStdString() + "/sub",
                                             WritePhoto(folder + "/a.png", 90, 160)};
    const std::string out = folder.toStdString() + "/" + kResults + "/";
    struct Outcome {
      std::vector<CompletionMessage> messages;
      std::vector<std::string> captions, revealed;
      std::vector<std::string> files;
      int dialogs = 0;
    };
    // Waits for the message the run ends with, then takes what it left.
    const auto finish = [&out](MainWindowUnderTest& t) {
      [[maybe_unused]] const bool ended = QTest::qWaitFor([&t] { return !t.desktop.messages.empty(); }, 60000);
      Outcome o{t.desktop.messages, t.desktop.captionsAtMessage, t.desktop.revealed, {}, t.desktop.dialogs};
      for (const char* name : {"b.png", "sub.png", "a.png"}) o.files.push_back(ReadFile(out + name));
      fs::remove_all(out);
      return o;
    };

    Outcome given;
    {
      MainWindowUnderTest t(ini);
      t.open();
      t.controller->runPhotosOnceShown(photos);
      QVERIFY(!t.controller->running());  // nothing before the loop has shown the window
      given = finish(t);
      QVERIFY(t.close());
    }
    Outcome dropped;
    {
      MainWindowUnderTest t(ini);
      QVERIFY(DragAndDrop(t.open(), *Files(photos)));
      dropped = finish(t);
    }
    QCOMPARE(given.dialogs, 0);
    QCOMPARE(given.messages.size(), std::size_t{1});
    QVERIFY(given.messages[0].warning);  // the folder is no photo
    QCOMPARE(dropped.messages.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(given.messages[0].text), QString::fromStdString(dropped.messages[0].text));
    QCOMPARE(given.captions, dropped.captions);
    QCOMPARE(given.revealed, (std::vector<std::string>{out}));
    QCOMPARE(dropped.revealed, given.revealed);
    for (std::size_t i = 0; i < given.files.size(); ++i) {
      QVERIFY(!given.files[i].empty());
      QVERIFY(given.files[i] == dropped.files[i]);
    }
    // The saved inputs: 120 × 80 px, following the height, as PNG.
    QImage picture;
    QVERIFY(picture.loadFromData(QByteArray::fromStdString(given.files[0]), "PNG"));
    QCOMPARE(picture.size(), QSize(120, 80));
  }

  void noStartPhotosOnlyOpenTheWindow() {
    MainWindowUnderTest t;
    t.open();
    t.controller->runPhotosOnceShown({});
    QCoreApplication::processEvents();
    QVERIFY(!t.controller->running());
    QCOMPARE(t.desktop.dialogs, 0);  // the window only opens: no dialog asks for photos
    QVERIFY(t.desktop.messages.empty());
  }

  void textAndAddressesAreRefused() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    QMimeData text;
    text.setText(QStringLiteral("/tmp/a.jpg"));
    QVERIFY(!DragAndDrop(main, text));
    QMimeData address;
    address.setUrls({QUrl(QStringLiteral("https://www.example.org/a.jpg"))});
    QVERIFY(!DragAndDrop(main, address));
    QCoreApplication::processEvents();
    QVERIFY(!t.controller->running());
    QCOMPARE(t.desktop.dialogs, 0);
  }

  void failuresAreListedInTheMessage() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    const std::string good = WritePhoto(t.dir.path() + "/good.jpg", 100, 100);
    const std::string missing = t.dir.path().toStdString() + "/missing.jpg";
    const std::string junk = t.dir.path().toStdString() + "/junk.png";
    WriteFile(junk, "not a picture at all");
    t.controller->runPhotos({good, missing, junk});
    QVERIFY(t.waitForRun());
    QCOMPARE(t.desktop.messages.size(), std::size_t{1});
    const CompletionMessage& m = t.desktop.messages[0];
    QVERIFY(m.warning);
    const QString text = QString::fromStdString(m.text);
    QVERIFY(text.startsWith(QStringLiteral("修剪完成！")));
    QVERIFY(text.contains(QStringLiteral("missing.jpg")));
    QVERIFY(text.contains(QStringLiteral("junk.png")));
    QVERIFY(!text.contains(QStringLiteral("good.jpg")));
    QCOMPARE(CaptionOf(main, id::kRunButton), std::string(kRunCaption));
  }

  // A photo that can no longer be read keeps the picture an earlier run
  // made of it, and the message says so.
  void anUnreadablePhotoKeepsAnEarlierResult() {
    MainWindowUnderTest t;
    t.open();
    const std::string photo = WritePhoto(t.dir.path() + "/p.jpg", 300, 200);
    t.controller->runPhotos({photo});
    QVERIFY(t.waitForRun());
    const std::string result = t.dir.path().toStdString() + "/" + kResults + "/p.jpg";
    const std::string good = ReadFile(result);
    QVERIFY(!good.empty());
    WriteFile(photo, "gone bad");
    t.controller->runPhotos({photo});
    QVERIFY(t.waitForRun());
    QCOMPARE(t.desktop.messages.size(), std::size_t{2});
    QVERIFY(t.desktop.messages[1].warning);
    QVERIFY(QString::fromStdString(t.desktop.messages[1].text).contains(QStringLiteral("已有的同名结果保留未动")));
    QVERIFY(ReadFile(result) == good);
  }

  void theMessageListsAtMostTwentyLosses() {
    BatchReport report;
    for (int i = 0; i < 23; ++i) {
      PhotoReport p;
      p.photo = "/p/x" + std::to_string(i) + ".jpg";
      p.readError = "cannot open";
      p.written = true;
      report.photos.push_back(p);
    }
    PhotoReport fine;
    fine.photo = "/p/fine.jpg";
    fine.written = true;
    report.photos.push_back(fine);
    const QString text = QString::fromStdString(ComposeCompletion(report).text);
    QVERIFY(text.contains(QStringLiteral("23 张照片")));
    QVERIFY(text.contains(QStringLiteral("x19.jpg")));
    QVERIFY(!text.contains(QStringLiteral("x20.jpg")));
    QVERIFY(text.contains(QStringLiteral("还有 3 张")));
    QVERIFY(!text.contains(QStringLiteral("fine.jpg")));
  }

  // A file where the results folder should be: nothing can be written,
  // and the message lists every photo instead of claiming success.
  void aBlockedResultsFolderEndsInTheMessage() {
    MainWindowUnderTest t;
    t.open();
    const std::string a = WritePhoto(t.dir.path() + "/a.jpg", 100, 100);
    const std::string b = WritePhoto(t.dir.path() + "/b.jpg", 100, 100);
    WriteFile(t.dir.path().toStdString() + "/" + kResults, "in the way");
    t.controller->runPhotos({a, b});
    QVERIFY(t.waitForRun());
    QCOMPARE(t.desktop.messages.size(), std::size_t{1});
    QVERIFY(t.desktop.messages[0].warning);
    const QString text = QString::fromStdString(t.desktop.messages[0].text);
    QVERIFY(text.contains(QStringLiteral("2 张照片")));
    QVERIFY(text.contains(QStringLiteral("a.jpg")) && text.contains(QStringLiteral("b.jpg")));
    QVERIFY(t.desktop.revealed.empty());
  }

  void entriesWithoutAFolderWriteNothing() {
    MainWindowUnderTest t;
    t.open();
    t.controller->runPhotos({"", "a.jpg"});
    QVERIFY(!t.controller->running());
    QCOMPARE(t.desktop.messages.size(), std::size_t{1});
    QVERIFY(t.desktop.messages[0].warning);
    QVERIFY(t.desktop.revealed.empty());
    QVERIFY(!fs::exists("/" + kResults));
  }

  void theWindowGivesTheCommandLinesPictures() {
    const char* binary = std::getenv("TRIMBREL_BINARY");
    if (!binary) QSKIP("TRIMBREL_BINARY is not set");
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    const QString folder = t.dir.path() + "/same";
    QDir().mkpath(folder);
    const std::string a = WritePhoto(folder + "/a.jpg", 500, 300, QColor(10, 200, 90));
    const std::string b = WritePhoto(folder + "/b.png", 90, 400, QColor(250, 20, 90));
    SetInputs(main, "150", "100", Unit::Pixel, OutputFormat::BMP);
    writeProperty(main, id::kBasis, prop::kComboCurrent, SelectionIndex(FitBasis::Height));
    t.controller->runPhotos({a, b});
    QVERIFY(t.waitForRun());
    const std::string fromWindow = folder.toStdString() + "/" + kResults + "/";
    const QString cliOut = t.dir.path() + "/cli";
    // The window's bands take its button face; the command line is told it.
    const QColor face = WidgetOfWindow(main)->palette().color(QPalette::Button);
    const QString background = QString::asprintf("%02X%02X%02X", face.red(), face.green(), face.blue());
    QProcess cli;
    cli.start(QString::fromLocal8Bit(binary),
              {"-q", "-u", "px", "-W", "150", "-H", "100", "-b", "height", "-f", "bmp", "-o", cliOut,
               "--background", background,
               QString::fromStdString(a), QString::fromStdString(b)});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    for (const char* name : {"a.bmp", "b.bmp"}) {
      const std::string mine = ReadFile(fromWindow + name);
      QVERIFY(!mine.empty());
      QCOMPARE(QByteArray::fromStdString(mine), QByteArray::fromStdString(ReadFile(cliOut.toStdString() + "/" + name)));
    }
  }

  // A close request during a run starts no further photo, lets the ones in
  // progress finish, saves and closes without a message.
  void closingDuringARunFinishesThePhotosInProgress() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    std::vector<std::string> photos;
    for (int i = 0; i < 40; ++i) {
      photos.push_back(WritePhoto(t.dir.path() + QString("/big%1.jpg").arg(i), 2400, 1800));
    }
    writeProperty(main, id::kWidth, prop::kEditContent, Gbk("4.4"));
    t.controller->runPhotos(photos);
    QVERIFY(t.controller->running());
    QTRY_VERIFY(CaptionOf(main, id::kRunButton) != kRunCaption);
    QVERIFY(!t.close());  // the window waits for the photos in progress
    QVERIFY(IsWindowLoaded(main));
    QTRY_VERIFY_WITH_TIMEOUT(!IsWindowLoaded(main), 60000);
    QVERIFY(t.desktop.messages.empty());
    QVERIFY(t.desktop.revealed.empty());
    // Saved as a close saves.
    QVERIFY(ReadFile(t.iniPath).find(Gbk("编辑框宽=4.4")) != std::string::npos);
    // Nothing half-written: every file in the results folder is a whole picture.
    const std::string out = t.dir.path().toStdString() + "/" + kResults;
    int written = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
      QVERIFY2(entry.path().filename().string()[0] != '.', entry.path().c_str());
      QCOMPARE(SizeOf(entry.path().string()), QSize(260, 189));
      ++written;
    }
    QVERIFY(written >= 1 && written < 40);
  }

  // Saving on close lets pending events run; a drop among them starts nothing.
  void aDropWhileClosingStartsNoRun() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    const std::string photo = WritePhoto(t.dir.path() + "/late.jpg", 80, 60);
    bool dropped = false;
    t.config.setMessagePump([&] {
      if (dropped) return;
      dropped = true;
      t.controller->runPhotos({photo});
    });
    QVERIFY(t.close());
    QVERIFY(dropped);
    QVERIFY(!t.controller->running());
    QVERIFY(!IsWindowLoaded(main));
    QVERIFY(!fs::exists(t.dir.path().toStdString() + "/" + kResults));
  }

  void inputDuringARunIsIgnored() {
    MainWindowUnderTest t;
    const WindowHandle main = t.open();
    std::vector<std::string> photos;
    for (int i = 0; i < 12; ++i) photos.push_back(WritePhoto(t.dir.path() + QString("/p%1.jpg").arg(i), 2000, 1500));
    t.controller->runPhotos(photos);
    QVERIFY(t.controller->running());
    QTest::mouseClick(ControlWidget(main, id::kRunButton), Qt::LeftButton);
    QTest::keyClicks(ControlWidget(main, id::kWidth), "99");
    QVERIFY(!DragAndDrop(main, *Files({photos[0]})));
    QCOMPARE(t.desktop.dialogs, 0);
    QCOMPARE(ContentOf(main, id::kWidth), std::string("2.6"));
    QVERIFY(t.waitForRun());
    QCOMPARE(t.desktop.messages.size(), std::size_t{1});
    // Afterwards the window takes input again.
    QTest::mouseClick(ControlWidget(main, id::kRunButton), Qt::LeftButton);
    QCOMPARE(t.desktop.dialogs, 1);
  }
};

QTEST_MAIN(WindowRunTest)
#include "window_run_test.moc"
