// From start to close: where the settings file lives, what the first close
// writes, what the next start restores, and files that are damaged, huge or
// held by another copy of the program.
#include <QtTest>

#include <sys/stat.h>

#include <filesystem>

#include "desktop_fixture.hpp"
#include "platform/platform.hpp"

using namespace trimbrel;
using namespace trimbrel::testing;
namespace id = trimbrel::main_id;
namespace fs = std::filesystem;

namespace {

// The main window's first save into an empty file: the newest key goes
// right under the header, so the keys stand in the reverse of the window's order.
std::string FirstSave() {
  return Gbk("[主界面]\r\n按钮修改.标记=\r\n编辑框宽=2.6\r\n编辑框高=3.2\r\n组合框保存格式=1\r\n组合框基准=0\r\n"
             "组合框单位=1\r\n编辑框dpi=150\r\n按钮打赏.标记=");
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void iniLocation_data() {
    QTest::addColumn<bool>("beside");
    QTest::addColumn<QString>("configHome");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("expected");  // "{prog}" stands for the program folder
    QTest::addColumn<bool>("portable");
    QTest::newRow("portable copy") << true << "/cfg" << "/home/u" << "{prog}/Trimbrel.ini" << true;
    QTest::newRow("config home") << false << "/cfg" << "/home/u" << "/cfg/trimbrel/Trimbrel.ini" << false;
    QTest::newRow("trailing slash") << false << "/cfg/" << "/home/u" << "/cfg/trimbrel/Trimbrel.ini" << false;
    QTest::newRow("relative config home is ignored") << false << "cfg" << "/home/u"
                                                     << "/home/u/.config/trimbrel/Trimbrel.ini" << false;
    QTest::newRow("default") << false << "" << "/home/u" << "/home/u/.config/trimbrel/Trimbrel.ini" << false;
    QTest::newRow("nowhere") << false << "" << "" << "" << false;
  }
  void iniLocation() {
    QFETCH(bool, beside);
    QFETCH(QString, configHome);
    QFETCH(QString, home);
    QFETCH(QString, expected);
    QFETCH(bool, portable);
    QTemporaryDir program;
    if (beside) WriteFile((program.path() + "/Trimbrel.ini").toStdString(), "");
    // A folder of that name is no settings file.
    if (!beside) QDir(program.path()).mkdir("Trimbrel.ini");
    const IniLocation at = ChooseIniLocation(program.path().toStdString(), configHome.toStdString(), home.toStdString());
    QCOMPARE(QString::fromStdString(at.path), QString(expected).replace("{prog}", program.path()));
    QCOMPARE(at.portable, portable);
  }

  void firstCloseWritesTheSectionAndASecondChangesNothing() {
    MainWindowUnderTest t;
    QVERIFY(t.open());
    QCOMPARE(ContentOf(t.window, id::kWidth), std::string("2.6"));
    QVERIFY(t.close());
    QCOMPARE(QByteArray::fromStdString(ReadFile(t.iniPath)), QByteArray::fromStdString(FirstSave()));
    struct stat before {};
    ::stat(t.iniPath.c_str(), &before);
    // A second start and close without changes leaves the bytes alone.
    t.config.close();
    ConfigModule again;
    QVERIFY(again.setPath(t.iniPath));
    MainController controller(again, t.desktop.hooks());
    const WindowHandle main = controller.open();
    QVERIFY(RequestClose(main));
    QCOMPARE(QByteArray::fromStdString(ReadFile(t.iniPath)), QByteArray::fromStdString(FirstSave()));
  }

  void inputsComeBackAtTheNextStart() {
    QTemporaryDir dir;
    const std::string ini = (dir.path() + "/Trimbrel.ini").toStdString();
    {
      MainWindowUnderTest t(ini);
      t.open();
      writeProperty(t.window, id::kUnit, prop::kComboCurrent, SelectionIndex(Unit::Pixel));
      writeProperty(t.window, id::kWidth, prop::kEditContent, Gbk("413"));
      writeProperty(t.window, id::kHeight, prop::kEditContent, Gbk("531"));
      writeProperty(t.window, id::kFormat, prop::kComboCurrent, SelectionIndex(OutputFormat::PNG));
      writeProperty(t.window, id::kBasis, prop::kComboCurrent, SelectionIndex(FitBasis::Height));
      QVERIFY(t.close());
    }
    MainWindowUnderTest t(ini);
    t.open();
    QCOMPARE(ReadInt(t.window, id::kUnit, prop::kComboCurrent), SelectionIndex(Unit::Pixel));
    QVERIFY(ReadInt(t.window, id::kDpi, prop::kDisabled) != 0);
    QCOMPARE(ContentOf(t.window, id::kWidth), std::string("413"));
    QCOMPARE(ContentOf(t.window, id::kHeight), std::string("531"));
    QCOMPARE(ReadInt(t.window, id::kFormat, prop::kComboCurrent), SelectionIndex(OutputFormat::PNG));
    QCOMPARE(ReadInt(t.window, id::kBasis, prop::kComboCurrent), SelectionIndex(FitBasis::Height));
  }

  // Whatever the file holds, the window opens with clamped values, and a
  // format nobody can choose runs as JPG.
  void damagedFilesOpenClamped_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("format");
    const QByteArray header = QByteArray::fromStdString(Gbk("[主界面]\r\n"));
    QTest::newRow("unit 7") << header + QByteArray::fromStdString(Gbk("组合框单位=7")) << 2 << 1;
    QTest::newRow("unit -1, format -1")
        << header + QByteArray::fromStdString(Gbk("组合框单位=-1\r\n组合框保存格式=-1")) << -1 << -1;
    // Past the 64-bit range a number counts as 0; within it, its low 32 bits.
    QTest::newRow("huge numbers") << header + QByteArray::fromStdString(Gbk("组合框单位=1e300\r\n组合框保存格式=-9e99"))
                                  << 0 << 0;
    QTest::newRow("wrapping numbers")
        << header + QByteArray::fromStdString(Gbk("组合框单位=4294967298\r\n组合框保存格式=4294967295")) << 2 << -1;
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i) binary[i] = char((i * 37) ^ (i >> 3));
    QTest::newRow("binary") << binary << 1 << 1;
    QTest::newRow("binary after the section") << header + binary << 1 << 1;
  }
  void damagedFilesOpenClamped() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, unit);
    QFETCH(int, format);
    QTemporaryDir dir;
    const std::string ini = (dir.path() + "/Trimbrel.ini").toStdString();
    WriteFile(ini, bytes.toStdString());
    MainWindowUnderTest t(ini);
    QVERIFY(t.open());
    QCOMPARE(ReadInt(t.window, id::kUnit, prop::kComboCurrent), unit);
    QCOMPARE(ReadInt(t.window, id::kFormat, prop::kComboCurrent), format);
    QCOMPARE(ReadInt(t.window, id::kDpi, prop::kDisabled) != 0, unit == 0);
    if (format < 0) {
      const std::string photo = WritePhoto(t.dir.path() + "/p.png", 50, 50);
      t.controller->runPhotos({photo});
      QVERIFY(t.waitForRun());
      QVERIFY(fs::exists(t.dir.path().toStdString() + "/修剪结果/p.jpg"));
    }
  }

  void aHugeFileStillOpens() {
    QTemporaryDir dir;
    const std::string ini = (dir.path() + "/Trimbrel.ini").toStdString();
    std::string bytes;
    bytes.reserve(50u << 20);
    while (bytes.size() < (50u << 20)) bytes += "[other]\r\nkey=some value that is not ours\r\n";
    bytes += Gbk("[主界面]\r\n编辑框宽=9.9");
    WriteFile(ini, bytes);
    MainWindowUnderTest t(ini);
    QVERIFY(t.open());
    QCOMPARE(ContentOf(t.window, id::kWidth), std::string("9.9"));
    QVERIFY(t.close());
    // Only the section's own lines change; the 50 MB before it stay as they were.
    const std::string after = ReadFile(ini);
    const std::size_t section = bytes.size() - Gbk("[主界面]\r\n编辑框宽=9.9").size();
    QVERIFY(after.size() > bytes.size());
    QVERIFY(after.compare(0, section, bytes, 0, section) == 0);
    QVERIFY(after.find(Gbk("编辑框宽=9.9"), section) != std::string::npos);
  }

  // The file is locked by the first copy: a second one runs with the
  // window's values, and its close does not touch the first one's file.
  void aSecondCopySavesNothing() {
    MainWindowUnderTest first;
    first.open();
    writeProperty(first.window, id::kWidth, prop::kEditContent, Gbk("5.5"));
    MainWindowUnderTest second(first.iniPath);
    QVERIFY(second.open());
    QCOMPARE(ContentOf(second.window, id::kWidth), std::string("2.6"));
    writeProperty(second.window, id::kWidth, prop::kEditContent, Gbk("7.7"));
    QVERIFY(second.close());
    QVERIFY(first.close());
    const std::string saved = ReadFile(first.iniPath);
    QVERIFY(saved.find(Gbk("编辑框宽=5.5")) != std::string::npos);
    QVERIFY(saved.find("7.7") == std::string::npos);
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
