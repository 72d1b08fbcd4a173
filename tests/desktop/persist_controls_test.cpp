// Saving and restoring controls through the settings file: which controls
// take part, what each kind stores, and the exact bytes of the file.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desktop/persist_controls.hpp"
#include "persist_fixture.hpp"
#include "platform/platform.hpp"
#include "settings/config_module.hpp"
#include "ui/ui.hpp"

using namespace trimbrel;
using namespace trimbrel::persist_testing;

Q_DECLARE_METATYPE(trimbrel::Value)

namespace {

std::vector<std::int32_t> Ints(const QList<int>& list) { return {list.begin(), list.end()}; }

}  // namespace

class PersistControlsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<ConfigModule> config_;

  std::string iniPath() const { return (dir_->path() + "/Trimbrel.ini").toStdString(); }
  QString sidePath(const char* sectionAndKeyUtf8) const {
    return dir_->path() + "/inibin/" + QString::fromUtf8(sectionAndKeyUtf8) + ".ibn";
  }

  static std::string ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    const QByteArray bytes = file.readAll();
    return bytes.toStdString();
  }
  static void WriteBytes(const QString& path, const std::string& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
  }
  std::string fileBytes() const { return ReadBytes(QString::fromStdString(iniPath())); }

  // Opens the settings file, written with `bytes` first.
  void open(const std::string& bytes) {
    config_.reset();  // the module holds the file open
    WriteBytes(QString::fromStdString(iniPath()), bytes);
    config_ = std::make_unique<ConfigModule>();
    QVERIFY(config_->setPath(iniPath()));
  }

  // The stored value of a key, or nothing.
  std::optional<std::string> entry(const char* sectionUtf8, const char* keyUtf8) {
    const std::string missing(1, '\x01');
    std::string v = config_->readEntry(G(sectionUtf8), G(keyUtf8), missing);
    if (v == missing) return std::nullopt;
    return GbkToUtf8(v);
  }

  static void Save(ConfigModule& config, WindowHandle w, const PersistOptions& o = {}) {
    persistControls(config, w, false, G("测试"), o);
  }
  static void Restore(ConfigModule& config, WindowHandle w, const PersistOptions& o = {}) {
    persistControls(config, w, true, G("测试"), o);
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    open("");
  }
  void cleanup() {
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) windows.append(w);
    for (const QPointer<QWidget>& w : windows) delete w.data();
    config_.reset();  // closes the file before its folder goes
    dir_.reset();
  }

  // Each kind's state survives a save, a change and a restore.
  void roundTrip_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("number");
    QTest::addColumn<Value>("saved");
    QTest::addColumn<Value>("changed");
    QTest::addColumn<bool>("withComboItems");
    QTest::addColumn<bool>("withComboText");
    const auto i = [](std::int32_t v) { return Value{v}; };
    const auto t = [](const char* utf8) { return Value{G(utf8)}; };
    const auto items = [](std::initializer_list<const char*> utf8) {
      std::vector<std::string> gbk;
      for (const char* s : utf8) gbk.push_back(G(s));
      return Value{EncodeItemList(gbk)};
    };
    QTest::newRow("button tag") << int(kButton) << prop::kTag << t("存档标记") << t("改过") << false << false;
    QTest::newRow("edit box") << int(kEdit) << prop::kEditContent << t("12.5") << t("7") << false << false;
    QTest::newRow("edit box line break")
        << int(kMemo) << prop::kEditContent << t("第一行\r\n第二行\r\n") << t("单行") << false << false;
    QTest::newRow("edit box, byte-block mode")
        << int(kBlockEdit) << prop::kEditContent << t("块\r\n内容") << t("x") << false << false;
    QTest::newRow("check box ticked") << int(kCheck) << prop::kChecked << i(1) << i(0) << false << false;
    QTest::newRow("check box clear") << int(kCheck) << prop::kChecked << i(0) << i(1) << false << false;
    QTest::newRow("combo index") << int(kCombo) << prop::kComboCurrent << i(2) << i(0) << false << false;
    QTest::newRow("combo no item") << int(kCombo) << prop::kComboCurrent << i(-1) << i(1) << false << false;
    QTest::newRow("combo items") << int(kCombo) << prop::kComboItems << items({"毫米", "英寸"})
                                 << items({"a", "b", "c", "d"}) << true << false;
    QTest::newRow("combo edit text") << int(kEditableCombo) << prop::kComboEditText << t("自定义")
                                     << t("别的") << false << true;
    QTest::newRow("list items") << int(kList) << prop::kListItems << items({"子", "丑"})
                                << items({"寅"}) << false << false;
    QTest::newRow("check list items") << int(kChkList) << prop::kChkListItems << items({"甲", "乙", "丙"})
                                      << items({}) << false << false;
    QTest::newRow("check list current") << int(kChkList) << prop::kChkListCurrent << i(3) << i(0) << false
                                        << false;
    QTest::newRow("colour") << int(kPicker) << prop::kPickerColour << i(0x00123456) << i(0) << false << false;
    QTest::newRow("system colour") << int(kPicker) << prop::kPickerColour
                                   << i(static_cast<std::int32_t>(kDefaultColour)) << i(5) << false << false;
  }
  void roundTrip() {
    QFETCH(int, control);
    QFETCH(int, number);
    QFETCH(Value, saved);
    QFETCH(Value, changed);
    QFETCH(bool, withComboItems);
    QFETCH(bool, withComboText);
    const WindowHandle w = loadWindow(KindsWindow());
    QVERIFY(w != 0);
    PersistOptions options;
    options.withComboItems = withComboItems;
    options.withComboText = withComboText;

    writeProperty(w, control, number, saved);
    QVERIFY(readProperty(w, control, number) == saved);
    Save(*config_, w, options);
    writeProperty(w, control, number, changed);
    QVERIFY(readProperty(w, control, number) == changed);
    Restore(*config_, w, options);
    QVERIFY(readProperty(w, control, number) == saved);
  }

  // The file keeps the texts on one line each, the block and item lists in
  // side files.
  void savedForms() {
    const WindowHandle w = loadWindow(KindsWindow());
    writeProperty(w, kMemo, prop::kEditContent, G("第一行\r\n第二行"));
    writeProperty(w, kBlockEdit, prop::kEditContent, G("块\r\n内容"));
    writeProperty(w, kCheck, prop::kChecked, 1);
    writeProperty(w, kPicker, prop::kPickerColour, static_cast<std::int32_t>(kDefaultColour));
    Save(*config_, w);
    QCOMPARE(entry("测试", "编辑框备注"), std::optional<std::string>("第一行┊*┊第二行"));
    QCOMPARE(entry("测试", "编辑框块"), std::nullopt);
    QCOMPARE(ReadBytes(sidePath("测试-编辑框块")), G("块\r\n内容"));
    QCOMPARE(entry("测试", "选择框甲"), std::optional<std::string>("真"));
    QCOMPARE(entry("测试", "单选框甲"), std::optional<std::string>("真"));
    QCOMPARE(entry("测试", "单选框乙"), std::optional<std::string>("假"));
    QCOMPARE(entry("测试", "颜色选择器甲"), std::optional<std::string>("-16777216"));
    QCOMPARE(entry("测试", "组合框甲"), std::optional<std::string>("1"));
    QCOMPARE(entry("测试", "组合框甲.列表"), std::nullopt);  // only with withComboItems
    QCOMPARE(entry("测试", "组合框甲.内容"), std::nullopt);  // only with withComboText
    QVERIFY(!QFile::exists(sidePath("测试-组合框甲.列表")));
    const Bytes listItems = EncodeItemList({G("一"), G("二"), G("三"), G("四"), G("五")});
    QCOMPARE(ReadBytes(sidePath("测试-列表框甲")), std::string(listItems.begin(), listItems.end()));
    QCOMPARE(entry("测试", "标签甲"), std::nullopt);
    QCOMPARE(entry("测试", "标签甲.标记"), std::nullopt);

    PersistOptions withCombo;
    withCombo.withComboItems = true;
    withCombo.withComboText = true;
    Save(*config_, w, withCombo);
    const Bytes items = EncodeItemList({G("甲"), G("乙")});
    QCOMPARE(ReadBytes(sidePath("测试-组合框可编辑.列表")), std::string(items.begin(), items.end()));
    QCOMPARE(entry("测试", "组合框可编辑.内容"), std::optional<std::string>("自填"));
  }

  // Radio boxes of one group: restoring the selected one unselects the other.
  void radioGroupRoundTrip() {
    const WindowHandle w = loadWindow(KindsWindow());
    QCOMPARE(ReadInt(w, kRadioA, prop::kChecked), 1);
    Save(*config_, w);
    writeProperty(w, kRadioB, prop::kChecked, 1);
    QCOMPARE(ReadInt(w, kRadioA, prop::kChecked), 0);
    Restore(*config_, w);
    QCOMPARE(ReadInt(w, kRadioA, prop::kChecked), 1);
    QCOMPARE(ReadInt(w, kRadioB, prop::kChecked), 0);
  }

  // Selections and ticks go as index lists and come back into a fresh window.
  void selectionsAndTicks() {
    const WindowHandle first = loadWindow(KindsWindow());
    const ControlRef list{first, kList}, single{first, kSingleList}, chk{first, kChkList};
    QVERIFY(SelectItem(list, 0));
    QVERIFY(SelectItem(list, 2));
    QVERIFY(SelectItem(single, 3));
    QVERIFY(TickItem(chk, 1));
    QVERIFY(TickItem(chk, 4));
    writeProperty(first, kChkList, prop::kChkListCurrent, 2);
    Save(*config_, first);
    QCOMPARE(entry("测试", "列表框甲.选中"), std::optional<std::string>("0,2"));
    QCOMPARE(entry("测试", "列表框单选.选中"), std::optional<std::string>("3"));
    QCOMPARE(entry("测试", "选择列表框甲.打勾"), std::optional<std::string>("1,4"));
    QCOMPARE(entry("测试", "选择列表框甲.选中"), std::optional<std::string>("2"));
    delete WidgetOfWindow(first);

    // Ticks are only added: one the definition has stays.
    WindowDef def = KindsWindow();
    for (ControlDef& c : def.controls) {
      if (c.id == kChkList) c.ticked = {0};
    }
    const WindowHandle second = loadWindow(def);
    Restore(*config_, second);
    QCOMPARE(SelectedIndices({second, kList}), (std::vector<std::int32_t>{0, 2}));
    QCOMPARE(SelectedIndices({second, kSingleList}), (std::vector<std::int32_t>{3}));
    QCOMPARE(Ticked({second, kChkList}), (std::vector<std::int32_t>{0, 1, 4}));
    QCOMPARE(ReadInt(second, kChkList, prop::kChkListCurrent), 2);
  }

  // Every "," ends a piece; an empty piece is index 0 unless it is the last.
  void indexListSplitting_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("empty ticks nothing") << int(kChkList) << "" << QList<int>{};
    QTest::newRow("comma alone ticks 0") << int(kChkList) << "," << QList<int>{0};
    QTest::newRow("empty between and trailing") << int(kChkList) << "1,,3," << QList<int>{0, 1, 3};
    QTest::newRow("empty first") << int(kChkList) << ",3" << QList<int>{0, 3};
    QTest::newRow("two trailing commas") << int(kChkList) << "2,," << QList<int>{0, 2};
    QTest::newRow("out of range ignored") << int(kChkList) << "0,5,-1,2" << QList<int>{0, 2};
    QTest::newRow("no number is 0") << int(kChkList) << "x,4" << QList<int>{0, 4};
    QTest::newRow("leading blank, fraction cut") << int(kChkList) << " 3,1.9" << QList<int>{1, 3};
    QTest::newRow("full-width digit") << int(kChkList) << "２" << QList<int>{2};
    QTest::newRow("any order") << int(kChkList) << "4,1" << QList<int>{1, 4};
    QTest::newRow("list: several") << int(kList) << "3,1," << QList<int>{1, 3};
    QTest::newRow("list: comma alone") << int(kList) << "," << QList<int>{0};
    QTest::newRow("single list ends on the last") << int(kSingleList) << "1,3" << QList<int>{3};
    QTest::newRow("single list, last out of range") << int(kSingleList) << "1,9" << QList<int>{1};
  }
  void indexListSplitting() {
    QFETCH(int, control);
    QFETCH(QString, stored);
    QFETCH(QList<int>, expected);
    const bool ticks = control == kChkList;
    const char* key = control == kChkList ? "选择列表框甲.打勾"
                      : control == kList  ? "列表框甲.选中"
                                          : "列表框单选.选中";
    open(Lines({"[测试]", QString::fromUtf8(key) + "=" + stored}));
    const WindowHandle w = loadWindow(KindsWindow());
    Restore(*config_, w);
    const ControlRef ref{w, control};
    QCOMPARE(ticks ? Ticked(ref) : SelectedIndices(ref), Ints(expected));
  }

  // Numbers and flags as the file holds them, and what a restore makes of
  // them; the control layer limits what does not fit.
  void storedValues_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("expected");
    const int cur = prop::kComboCurrent;
    QTest::newRow("combo index beyond the list") << int(kCombo) << cur << "组合框甲" << "7" << 1 << 2;
    QTest::newRow("combo index below -1") << int(kCombo) << cur << "组合框甲" << "-5" << 1 << -1;
    QTest::newRow("combo not a number") << int(kCombo) << cur << "组合框甲" << "abc" << 1 << 0;
    QTest::newRow("combo empty value") << int(kCombo) << cur << "组合框甲" << "" << 1 << 0;
    QTest::newRow("combo fraction cut") << int(kCombo) << cur << "组合框甲" << "1.9" << 0 << 1;
    QTest::newRow("combo negative fraction") << int(kCombo) << cur << "组合框甲" << "-0.9" << 1 << 0;
    QTest::newRow("combo full-width") << int(kCombo) << cur << "组合框甲" << "２" << 0 << 2;
    QTest::newRow("check list index beyond")
        << int(kChkList) << prop::kChkListCurrent << "选择列表框甲.选中" << "9" << 0 << 4;
    QTest::newRow("colour not a number") << int(kPicker) << prop::kPickerColour << "颜色选择器甲" << "红"
                                         << 77 << 0;
    QTest::newRow("colour keeps the low 32 bits")
        << int(kPicker) << prop::kPickerColour << "颜色选择器甲" << "4294967295" << 77 << -1;
    QTest::newRow("check 真") << int(kCheck) << prop::kChecked << "选择框甲" << "真" << 0 << 1;
    QTest::newRow("check 假") << int(kCheck) << prop::kChecked << "选择框甲" << "假" << 1 << 0;
    QTest::newRow("check other text") << int(kCheck) << prop::kChecked << "选择框甲" << "1" << 1 << 0;
    QTest::newRow("check empty") << int(kCheck) << prop::kChecked << "选择框甲" << "" << 1 << 0;
    QTest::newRow("radio 真") << int(kRadioB) << prop::kChecked << "单选框乙" << "真" << 0 << 1;
    QTest::newRow("radio 假 unselects") << int(kRadioA) << prop::kChecked << "单选框甲" << "假" << 1 << 0;
  }
  void storedValues() {
    QFETCH(int, control);
    QFETCH(int, number);
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(int, before);
    QFETCH(int, expected);
    open(Lines({"[测试]", key + "=" + stored}));
    const WindowHandle w = loadWindow(KindsWindow());
    writeProperty(w, control, number, before);
    QCOMPARE(ReadInt(w, control, number), before);
    Restore(*config_, w);
    QCOMPARE(ReadInt(w, control, number), expected);
  }

  // Without entries (no file content, or entries of another section only)
  // every control keeps its state, and a restore writes nothing.
  void missingEntriesChangeNothing_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("empty file") << "";
    QTest::newRow("other section") << "[别处]\r\n组合框甲=0\r\n编辑框甲=9\r\n选择框甲=假\r\n"
                                      "选择列表框甲.打勾=0,1\r\n列表框甲.选中=0\r\n按钮甲.标记=x";
  }
  void missingEntriesChangeNothing() {
    QFETCH(QString, file);
    open(G(file));
    const WindowHandle w = loadWindow(KindsWindow());
    writeProperty(w, kButton, prop::kTag, G("标记"));
    writeProperty(w, kEdit, prop::kEditContent, G("9.9"));
    writeProperty(w, kCheck, prop::kChecked, 1);
    writeProperty(w, kCombo, prop::kComboCurrent, 2);
    writeProperty(w, kPicker, prop::kPickerColour, 0x00010203);
    writeProperty(w, kChkList, prop::kChkListCurrent, 1);
    SelectItem({w, kList}, 4);
    SelectItem({w, kSingleList}, 2);
    TickItem({w, kChkList}, 3);
    const auto before = Snapshot(w);
    PersistOptions all;
    all.withComboItems = true;
    all.withComboText = true;
    Restore(*config_, w, all);
    QCOMPARE(Snapshot(w), before);
    QCOMPARE(fileBytes(), G(file));
    QVERIFY(!QDir(dir_->path() + "/inibin").exists());
  }

  // The main window's first save into an empty file, byte for byte; a second
  // save without changes, and a restore and save, leave it as it is.
  void mainWindowFirstSave() {
    const WindowHandle w = loadWindow(MainLikeWindow());
    persistControls(*config_, w, false, G("主界面"));
    QCOMPARE(Shown(fileBytes()), Shown(MainFirstSave()));
    QCOMPARE(fileBytes(), MainFirstSave());
    QVERIFY(!QDir(dir_->path() + "/inibin").exists());

    persistControls(*config_, w, false, G("主界面"));
    QCOMPARE(fileBytes(), MainFirstSave());
    persistControls(*config_, w, true, G("主界面"));
    persistControls(*config_, w, false, G("主界面"));
    QCOMPARE(fileBytes(), MainFirstSave());
  }

  // Later saves replace values in place; the order stays.
  void changedValuesKeepTheirPlace() {
    const WindowHandle w = loadWindow(MainLikeWindow());
    persistControls(*config_, w, false, G("主界面"));
    writeProperty(w, kUnit, prop::kComboCurrent, 0);
    writeProperty(w, kDpi, prop::kEditContent, G("300"));
    persistControls(*config_, w, false, G("主界面"));
    QCOMPARE(Shown(fileBytes()),
             Shown(Lines({"[主界面]", "按钮修改.标记=", "编辑框宽=2.6", "编辑框高=3.2", "组合框保存格式=1",
                          "组合框基准=0", "组合框单位=0", "编辑框dpi=300", "按钮打赏.标记="})));
    // An empty section name keeps the current one.
    writeProperty(w, kUnit, prop::kComboCurrent, 2);
    persistControls(*config_, w, true, std::string());
    QCOMPARE(ReadInt(w, kUnit, prop::kComboCurrent), 0);
  }

  // "禁止保存" takes a control out of both directions.
  void noSaveTag() {
    WindowDef def = MainLikeWindow();
    for (ControlDef& c : def.controls) {
      if (c.id == kUnit) c.tag = "禁止保存";
    }
    const WindowHandle w = loadWindow(def);
    persistControls(*config_, w, false, G("主界面"));
    QCOMPARE(Shown(fileBytes()),
             Shown(Lines({"[主界面]", "按钮修改.标记=", "编辑框宽=2.6", "编辑框高=3.2", "组合框保存格式=1",
                          "组合框基准=0", "编辑框dpi=150", "按钮打赏.标记="})));

    open(Lines({"[主界面]", "组合框单位=2", "组合框基准=1"}));
    persistControls(*config_, w, true, G("主界面"));
    QCOMPARE(ReadInt(w, kUnit, prop::kComboCurrent), 1);
    QCOMPARE(ReadInt(w, kBase, prop::kComboCurrent), 1);
  }

  // A restored tag "字节集方式" moves the button's state into a side file
  // from the next save on; the entry is left as it was.
  void byteBlockTagFromTheFile() {
    const std::string stored = Lines({"[主界面]", "按钮修改.标记=字节集方式"});
    open(stored);
    const WindowHandle w = loadWindow(MainLikeWindow());
    persistControls(*config_, w, true, G("主界面"));
    QCOMPARE(ReadText(w, kModify, prop::kTag), G("字节集方式"));
    QCOMPARE(fileBytes(), stored);

    persistControls(*config_, w, false, G("主界面"));
    const QString side = sidePath("主界面-按钮修改.标记");
    QCOMPARE(ReadBytes(side), G("字节集方式"));
    QCOMPARE(entry("主界面", "按钮修改.标记"), std::optional<std::string>("字节集方式"));
    QCOMPARE(entry("主界面", "按钮打赏.标记"), std::optional<std::string>(""));

    // The block is taken up to its first zero byte.
    WriteBytes(side, G("字节集方式") + std::string(1, '\0') + "tail");
    persistControls(*config_, w, true, G("主界面"));
    QCOMPARE(ReadText(w, kModify, prop::kTag), G("字节集方式"));

    // A block holding another tag ends the byte-block mode again.
    WriteBytes(side, G("新标记"));
    persistControls(*config_, w, true, G("主界面"));
    QCOMPARE(ReadText(w, kModify, prop::kTag), G("新标记"));
    persistControls(*config_, w, false, G("主界面"));
    QCOMPARE(entry("主界面", "按钮修改.标记"), std::optional<std::string>("新标记"));
  }

  // Which names make a control take part: the kind word must begin the name
  // and name the control's own kind.
  void kindWords_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("sideFiles");
    const QStringList none;
    QTest::newRow("exactly 按钮") << "按钮" << int(Kind::Button) << QStringList{"[测试]", "按钮.标记="} << none;
    QTest::newRow("shorter than the word") << "按" << int(Kind::Button) << none << none;
    QTest::newRow("word not at the start") << "大按钮" << int(Kind::Button) << none << none;
    QTest::newRow("exactly 颜色选择器") << "颜色选择器" << int(Kind::ColorPicker)
                                        << QStringList{"[测试]", "颜色选择器=0"} << none;
    QTest::newRow("check box") << "选择框x" << int(Kind::CheckBox) << QStringList{"[测试]", "选择框x=假"}
                               << none;
    QTest::newRow("radio box") << "单选框x" << int(Kind::RadioBox) << QStringList{"[测试]", "单选框x=假"}
                               << none;
    QTest::newRow("combo box") << "组合框x" << int(Kind::ComboBox) << QStringList{"[测试]", "组合框x=-1"}
                               << none;
    QTest::newRow("list box") << "列表框x" << int(Kind::ListBox) << QStringList{"[测试]", "列表框x.选中="}
                              << QStringList{"测试-列表框x"};
    QTest::newRow("check list box, not a check box")
        << "选择列表框x" << int(Kind::ChkListBox)
        << QStringList{"[测试]", "选择列表框x.打勾=", "选择列表框x.选中=-1"} << QStringList{"测试-选择列表框x"};
    QTest::newRow("label named as an edit box") << "编辑框" << int(Kind::Label) << none << none;
    QTest::newRow("label named as a button") << "按钮标签" << int(Kind::Label) << none << none;
    QTest::newRow("colour picker named as an edit box") << "编辑框色" << int(Kind::ColorPicker) << none << none;
    QTest::newRow("check list named as a check box") << "选择框单" << int(Kind::ChkListBox) << none << none;
    QTest::newRow("check box named as a radio box") << "单选框勾" << int(Kind::CheckBox) << none << none;
    QTest::newRow("edit box named as a button") << "按钮框" << int(Kind::EditBox) << none << none;
  }
  void kindWords() {
    QFETCH(QString, name);
    QFETCH(int, kind);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, sideFiles);
    WindowDef def;
    def.name = "名字窗口";
    Add(def, 1, "标签", Kind::Label);
    const std::string nameUtf8 = name.toStdString();
    Add(def, 2, nameUtf8.c_str(), static_cast<Kind>(kind));
    const WindowHandle w = loadWindow(def);
    QVERIFY(w != 0);
    Save(*config_, w);
    QCOMPARE(Shown(fileBytes()), Shown(Lines(lines)));
    QStringList found;
    for (const QString& f : QDir(dir_->path() + "/inibin").entryList(QDir::Files)) found << f.chopped(4);
    QCOMPARE(found, sideFiles);
  }

  // A control of another kind than its name says is not restored either.
  void wrongKindNotRestored() {
    WindowDef def;
    def.name = "名字窗口";
    Add(def, 1, "按钮框", Kind::EditBox).text = "原文";
    Add(def, 2, "编辑框色", Kind::ColorPicker).colour = 0x00112233;
    open(Lines({"[测试]", "按钮框.标记=标记", "编辑框色=5"}));
    const WindowHandle w = loadWindow(def);
    Restore(*config_, w);
    QCOMPARE(ReadText(w, 1, prop::kTag), std::string());
    QCOMPARE(ReadText(w, 1, prop::kEditContent), G("原文"));
    QCOMPARE(ReadInt(w, 2, prop::kPickerColour), 0x00112233);
  }

  // Left-out names, and a given list of controls instead of the window's.
  void skipNamesAndChosenControls() {
    const WindowHandle w = loadWindow(MainLikeWindow());
    PersistOptions skip;
    skip.skipNames = {G("编辑框dpi"), G("组合框"), G("编辑框宽 ")};
    persistControls(*config_, w, false, G("主界面"), skip);
    QCOMPARE(Shown(fileBytes()),
             Shown(Lines({"[主界面]", "按钮修改.标记=", "编辑框宽=2.6", "编辑框高=3.2", "组合框保存格式=1",
                          "组合框基准=0", "组合框单位=1", "按钮打赏.标记="})));
    open(Lines({"[主界面]", "编辑框dpi=600", "编辑框高=9"}));
    persistControls(*config_, w, true, G("主界面"), skip);
    QCOMPARE(ReadText(w, kDpi, prop::kEditContent), G("150"));
    QCOMPARE(ReadText(w, kHeight, prop::kEditContent), G("9"));

    open("");
    PersistOptions chosen;
    chosen.controls = std::vector<ControlRef>{{w, kHeight}, {w, 2}, {w, 13}, {w, 99}, {w, kDonate}};
    persistControls(*config_, w, false, G("主界面"), chosen);
    QCOMPARE(Shown(fileBytes()), Shown(Lines({"[主界面]", "按钮打赏.标记=", "编辑框高=9"})));
  }

  // Event handlers run during a pass; one that closes the window at any
  // point ends the pass quietly, and the entries written before it are right.
  void windowClosedDuringThePass_data() {
    QTest::addColumn<bool>("restore");
    QTest::newRow("save") << false;
    QTest::newRow("restore") << true;
  }
  void windowClosedDuringThePass() {
    QFETCH(bool, restore);
    PersistOptions all;
    all.withComboItems = true;
    all.withComboText = true;
    std::string full;
    {
      const WindowHandle w = loadWindow(KindsWindow());
      Save(*config_, w, all);
      full = fileBytes();
      delete WidgetOfWindow(w);
    }
    // How many times a whole pass lets messages run inside the settings file.
    int pumps = 0;
    {
      const WindowHandle w = loadWindow(KindsWindow());
      if (!restore) open("");
      config_->setMessagePump([&pumps] { ++pumps; });
      persistControls(*config_, w, restore, G("测试"), all);
      delete WidgetOfWindow(w);
    }
    QVERIFY(pumps > 10);
    for (int closeAt = 1; closeAt <= pumps; ++closeAt) {
      open(restore ? full : std::string());
      const WindowHandle w = loadWindow(KindsWindow());
      int calls = 0;
      config_->setMessagePump([&calls, closeAt, w] {
        if (++calls == closeAt) delete WidgetOfWindow(w);
      });
      persistControls(*config_, w, restore, G("测试"), all);
      QVERIFY2(!IsWindowLoaded(w), qPrintable(QString::number(closeAt)));
      // Every line written before the close is a line of the full save.
      const QStringList fullLines = QString::fromStdString(GbkToUtf8(full)).split("\r\n");
      for (const QString& line : QString::fromStdString(GbkToUtf8(fileBytes())).split("\r\n")) {
        if (line.isEmpty() || line.endsWith('=')) continue;  // a new key before its value
        QVERIFY2(fullLines.contains(line), qPrintable(QString("%1: %2").arg(closeAt).arg(line)));
      }
    }

    // Our own pump runs before the first control.
    open(std::string());
    const WindowHandle w = loadWindow(KindsWindow());
    QTimer::singleShot(0, [w] { delete WidgetOfWindow(w); });
    persistControls(*config_, w, false, G("测试"), all);
    QVERIFY(!IsWindowLoaded(w));
    QCOMPARE(fileBytes(), std::string());
  }
};

QTEST_MAIN(PersistControlsTest)
#include "persist_controls_test.moc"
