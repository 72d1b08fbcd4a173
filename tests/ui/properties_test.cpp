#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "platform/platform.hpp"
#include "test_windows.hpp"

using namespace trimbrel;
using namespace trimbrel::testing;

Q_DECLARE_METATYPE(trimbrel::Value)

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int count = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

class PropertiesTest : public QObject {
  Q_OBJECT

 private:
  WindowHandle window_ = 0;

 private slots:
  void init() {
    window_ = loadWindow(SampleWindow());
    QVERIFY(window_ != 0);
  }
  void cleanup() {
    if (IsWindowLoaded(window_)) delete WidgetOfWindow(window_);
  }

  // Writes are converted and limited; the read gives the value in force.
  void conversions_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("number");
    QTest::addColumn<Value>("written");
    QTest::addColumn<Value>("read");
    const auto i = [](std::int32_t v) { return Value{v}; };
    QTest::newRow("left 50000") << int(kButton) << prop::kLeft << i(50000) << i(32627);
    QTest::newRow("left -50000") << int(kButton) << prop::kLeft << i(-50000) << i(-32627);
    QTest::newRow("left 32627") << int(kButton) << prop::kLeft << i(32627) << i(32627);
    QTest::newRow("top 40000") << int(kEdit) << prop::kTop << i(40000) << i(32627);
    QTest::newRow("width 40000") << int(kEdit) << prop::kWidth << i(40000) << i(32627);
    QTest::newRow("width -5") << int(kEdit) << prop::kWidth << i(-5) << i(0);
    QTest::newRow("height -1") << int(kLabel) << prop::kHeight << i(-1) << i(0);
    QTest::newRow("visible 7") << int(kLabel) << prop::kVisible << i(7) << i(1);
    QTest::newRow("visible 0") << int(kLabel) << prop::kVisible << i(0) << i(0);
    QTest::newRow("disabled -3") << int(kEdit) << prop::kDisabled << i(-3) << i(1);
    QTest::newRow("tag") << int(kButton) << prop::kTag << Value{Gbk("字节集方式")} << Value{Gbk("字节集方式")};
    QTest::newRow("no tag is empty") << int(kButton) << prop::kTag << Value{} << Value{std::string()};
    QTest::newRow("number for text ignored") << int(kEdit) << prop::kEditContent << i(5) << Value{Gbk("2.6")};
    QTest::newRow("text for number ignored") << int(kCombo) << prop::kComboCurrent << Value{std::string("2")}
                                             << i(1);
    QTest::newRow("unknown number") << int(kEdit) << 30 << i(5) << Value{};
    QTest::newRow("pointer") << int(kLabel) << prop::kMousePointer << Value{Bytes{5, 0, 0, 0}}
                             << Value{Bytes{5, 0, 0, 0}};
    QTest::newRow("edit content") << int(kEdit) << prop::kEditContent << Value{Gbk("修剪")}
                                  << Value{Gbk("修剪")};
    QTest::newRow("memo keeps CR LF") << int(kMemo) << prop::kEditContent << Value{Gbk("一\r\n二\r\n")}
                                      << Value{Gbk("一\r\n二\r\n")};
    QTest::newRow("caption") << int(kButton) << prop::kButtonCaption << Value{std::string("3/1:a.jpg")}
                             << Value{std::string("3/1:a.jpg")};
    QTest::newRow("combo 7 is the last") << int(kCombo) << prop::kComboCurrent << i(7) << i(2);
    QTest::newRow("combo -5 is none") << int(kCombo) << prop::kComboCurrent << i(-5) << i(-1);
    QTest::newRow("combo 0") << int(kCombo) << prop::kComboCurrent << i(0) << i(0);
    QTest::newRow("link type -4 is 0") << int(kLink) << prop::kLinkType << i(-4) << i(0);
    QTest::newRow("link address") << int(kLink) << prop::kLinkAddress << Value{std::string("https://a.example")}
                                  << Value{std::string("https://a.example")};
    QTest::newRow("timer -9 is 0") << int(kTimer) << prop::kTimerInterval << i(-9) << i(0);
    QTest::newRow("check 5") << int(kCheck) << prop::kChecked << i(5) << i(1);
    QTest::newRow("chk list current 9") << int(kChkList) << prop::kChkListCurrent << i(9) << i(2);
    QTest::newRow("colour") << int(kPicker) << prop::kPickerColour << i(0x00112233) << i(0x00112233);
    QTest::newRow("drop switch 2") << int(kDrop) << prop::kDropText << i(2) << i(1);
    QTest::newRow("drop timer left") << int(kDrop) << prop::kLeft << i(99999) << i(32627);
  }
  void conversions() {
    QFETCH(int, control);
    QFETCH(int, number);
    QFETCH(Value, written);
    QFETCH(Value, read);
    writeProperty(window_, control, number, written);
    QVERIFY(readProperty(window_, control, number) == read);
  }

  void movingKeepsSizeAndResizingKeepsPlace() {
    QWidget* button = WidgetOf(window_, kButton);
    writeProperty(window_, kButton, prop::kLeft, 50000);
    QCOMPARE(button->geometry(), QRect(32627, 10, 150, 40));
    writeProperty(window_, kButton, prop::kHeight, 70);
    QCOMPARE(button->geometry(), QRect(32627, 10, 150, 70));
  }

  void initialValuesComeFromTheDefinition() {
    QCOMPARE(ReadText(window_, kEdit, prop::kEditContent), Gbk("2.6"));
    QCOMPARE(ReadText(window_, kMemo, prop::kEditContent), Gbk("第一行\r\n第二行"));
    QCOMPARE(ReadText(window_, kButton, prop::kButtonCaption), Gbk("选择照片批量修改"));
    QCOMPARE(ReadInt(window_, kCombo, prop::kComboCurrent), 1);
    QCOMPARE(ReadBytes(window_, kCombo, prop::kComboItems),
             EncodeItemList({Gbk("像素"), Gbk("厘米"), Gbk("英寸")}));
    QCOMPARE(ReadInt(window_, kTimer, prop::kTimerInterval), 20);
    QCOMPARE(ReadInt(window_, kDrop, prop::kDropFiles), 1);
    QCOMPARE(ReadInt(window_, kDrop, prop::kDropText), 0);
    QCOMPARE(ReadInt(window_, kButton, prop::kLeft), 220);
    QCOMPARE(ReadInt(window_, kPanel, prop::kVisible), 0);
    QCOMPARE(ReadBytes(window_, kPicBtn, prop::kMousePointer), (Bytes{5, 0, 0, 0}));
    QCOMPARE(ReadText(window_, kButton, prop::kTag), std::string());
  }

  // Reads reflect what the widget shows now, not the stored definition.
  void readsFollowTheUser() {
    auto* edit = WidgetAs<QLineEdit>(window_, kEdit);
    edit->clear();
    QTest::keyClicks(edit, "12.5");
    QCOMPARE(ReadText(window_, kEdit, prop::kEditContent), std::string("12.5"));

    auto* memo = WidgetAs<QPlainTextEdit>(window_, kMemo);
    memo->clear();
    QTest::keyClicks(memo, "a");
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, "b");
    QCOMPARE(ReadText(window_, kMemo, prop::kEditContent), std::string("a\r\nb"));

    WidgetAs<QComboBox>(window_, kCombo)->setCurrentIndex(2);
    QCOMPARE(ReadInt(window_, kCombo, prop::kComboCurrent), 2);
    WidgetAs<QCheckBox>(window_, kCheck)->click();
    QCOMPARE(ReadInt(window_, kCheck, prop::kChecked), 1);
  }

  // The new caption is painted before the write returns: a batch run shows
  // its progress without going back to the event loop.
  void buttonCaptionShowsAtOnce() {
    QWidget* window = WidgetOfWindow(window_);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto* button = WidgetAs<QPushButton>(window_, kButton);
    PaintCounter painted;
    button->installEventFilter(&painted);
    writeProperty(window_, kButton, prop::kButtonCaption, Gbk("3/2:照片.jpg"));
    button->removeEventFilter(&painted);
    QCOMPARE(button->text(), QStringLiteral("3/2:照片.jpg"));
    QVERIFY2(painted.count > 0, "the caption waits for the event loop to be painted");
  }

  void timerStopsAtZeroAndRestarts() {
    QTimer* timer = FindWindowWidget(window_)->control(kTimer)->timer;
    int ticks = 0;
    QObject::connect(timer, &QTimer::timeout, [&ticks] { ++ticks; });
    QVERIFY(timer->isActive());
    writeProperty(window_, kTimer, prop::kTimerInterval, 0);
    QVERIFY(!timer->isActive());
    ticks = 0;
    QTest::qWait(80);
    QCOMPARE(ticks, 0);
    writeProperty(window_, kTimer, prop::kTimerInterval, 20);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 20);
    QTRY_VERIFY_WITH_TIMEOUT(ticks > 0, 5000);
  }

  // A new item list rebuilds the combo box in place: place, size, state,
  // parent, stacking and focus survive, and the index stays when it still fits.
  void itemListRebuildsInPlace() {
    QWidget* window = WidgetOfWindow(window_);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QWidget* old = WidgetOf(window_, kCombo);
    old->setFocus();
    writeProperty(window_, kCombo, prop::kDisabled, 0);
    writeProperty(window_, kCombo, prop::kLeft, 230);
    const QRect geometry = old->geometry();
    QWidget* parent = old->parentWidget();
    const auto stackAt = parent->children().indexOf(old);
    QWidget* above = qobject_cast<QWidget*>(parent->children().at(stackAt + 1));

    writeProperty(window_, kCombo, prop::kComboItems, EncodeItemList({"a", "b", "c", "d"}));
    auto* fresh = WidgetAs<QComboBox>(window_, kCombo);
    QVERIFY(fresh != old);
    QCOMPARE(fresh->count(), 4);
    QCOMPARE(fresh->geometry(), geometry);
    QCOMPARE(fresh->parentWidget(), parent);
    QVERIFY(fresh->isVisible());
    QVERIFY(fresh->isEnabled());
    QCOMPARE(fresh->hasFocus(), true);
    QCOMPARE(ReadInt(window_, kCombo, prop::kComboCurrent), 1);
    const auto freshAt = parent->children().indexOf(fresh);
    QCOMPARE(parent->children().at(freshAt + 1), above);

    writeProperty(window_, kCombo, prop::kDisabled, 1);
    writeProperty(window_, kCombo, prop::kVisible, 0);
    writeProperty(window_, kCombo, prop::kComboCurrent, 3);
    writeProperty(window_, kCombo, prop::kComboItems, EncodeItemList({"x", "y"}));
    fresh = WidgetAs<QComboBox>(window_, kCombo);
    QVERIFY(!fresh->isVisibleTo(window));
    QVERIFY(!fresh->isEnabled());
    QCOMPARE(ReadInt(window_, kCombo, prop::kComboCurrent), 1);
    QCOMPARE(ReadBytes(window_, kCombo, prop::kComboItems), EncodeItemList({"x", "y"}));

    writeProperty(window_, kCombo, prop::kComboItems, EncodeItemList({}));
    QCOMPARE(ReadInt(window_, kCombo, prop::kComboCurrent), -1);
    QCOMPARE(ReadBytes(window_, kCombo, prop::kComboItems), (Bytes{0, 0}));
    // A damaged block changes nothing.
    writeProperty(window_, kCombo, prop::kComboItems, Bytes{9, 0, 1});
    QCOMPARE(WidgetAs<QComboBox>(window_, kCombo)->count(), 0);
  }

  // Controls without a widget (timer, client, drop target) are not listed.
  void listControlsWalksTheDefinitionOrder() {
    std::vector<std::string> names;
    for (const ControlEntry& e : listControls(window_)) {
      QCOMPARE(e.ref.window, window_);
      QCOMPARE(ControlName(e.ref), e.name);
      names.push_back(GbkToUtf8(e.name));
    }
    const std::vector<std::string> expected{"编辑框宽", "编辑框备注", "按钮修改", "组合框单位", "标签1",
                                            "列表框1", "选择列表框1", "选择框1", "颜色选择器1",
                                            "图片框", "图片联系", "链接联系", "画板"};
    QCOMPARE(names, expected);
    QCOMPARE(FindControl(window_, Gbk("组合框单位")), std::int32_t{kCombo});
    QCOMPARE(FindControl(window_, Gbk("不存在")), std::int32_t{0});
    // The first definition sits on top of its siblings.
    QWidget* edit = WidgetOf(window_, kEdit);
    const QObjectList& siblings = edit->parentWidget()->children();
    QVERIFY(siblings.indexOf(edit) > siblings.indexOf(WidgetOf(window_, kButton)));
    QCOMPARE(WidgetOf(window_, kPicBtn)->parentWidget(), WidgetOf(window_, kBand));
  }

  void listOperations() {
    const ControlRef list{window_, kList};
    const ControlRef checks{window_, kChkList};
    QCOMPARE(ItemCount(list), 4);
    QVERIFY(SelectedIndices(list).empty());
    QVERIFY(SelectItem(list, 0));
    QVERIFY(SelectItem(list, 2));
    QCOMPARE(SelectedIndices(list), (std::vector<std::int32_t>{0, 2}));

    QCOMPARE(ItemCount(checks), 3);
    QVERIFY(TickItem(checks, 1));
    QVERIFY(IsItemTicked(checks, 1));
    QVERIFY(!IsItemTicked(checks, 0));
    // A single-selection list reports its current item only.
    QVERIFY(SelectItem(checks, 0));
    QVERIFY(SelectItem(checks, 2));
    QCOMPARE(SelectedIndices(checks), (std::vector<std::int32_t>{2}));

    for (std::int32_t bad : {-1, 3, 1000}) {
      QVERIFY(!SelectItem(checks, bad));
      QVERIFY(!TickItem(checks, bad));
      QVERIFY(!IsItemTicked(checks, bad));
    }
    QVERIFY(!SelectItem(list, 4));
    QCOMPARE(SelectedIndices(list), (std::vector<std::int32_t>{0, 2}));
    QVERIFY(!TickItem(list, 0));  // a plain list box has no ticks
    QCOMPARE(ItemCount({window_, kButton}), 0);

    // New items keep ticks that still fit.
    writeProperty(window_, kChkList, prop::kChkListItems, EncodeItemList({"p", "q"}));
    QCOMPARE(ItemCount(checks), 2);
    QVERIFY(IsItemTicked(checks, 1));
    QCOMPARE(ReadBytes(window_, kList, prop::kListItems),
             EncodeItemList({Gbk("甲"), Gbk("乙"), Gbk("丙"), Gbk("丁")}));
  }

  void windowPropertiesUseTheOuterFrame() {
    QWidget* window = WidgetOfWindow(window_);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(ReadInt(window_, kWindowSelf, prop::kWidth), window->frameGeometry().width());
    QCOMPARE(ReadInt(window_, kWindowSelf, prop::kVisible), 1);
    writeProperty(window_, kWindowSelf, prop::kWidth, 700);
    QCOMPARE(ReadInt(window_, kWindowSelf, prop::kWidth), 700);
    writeProperty(window_, kWindowSelf, prop::kLeft, 40);
    QCOMPARE(ReadInt(window_, kWindowSelf, prop::kLeft), 40);
  }

  // Windows are written as tables of plain data.
  void windowFromATable() {
    int clicks = 0;
    const Handler onClick = [&clicks](const EventArgs&) -> std::optional<std::int32_t> {
      ++clicks;
      return std::nullopt;
    };
    const FontDef song{.face = "宋体", .pixelHeight = 43};
    const WindowDef def{
        .name = "主界面",
        .title = "表",
        .width = 400,
        .height = 300,
        .escCloses = true,
        .controls =
            {
                {.id = 1, .name = "拖放对象1", .kind = Kind::DropTarget, .acceptFiles = true},
                {.id = 2, .name = "按钮打赏", .kind = Kind::Button, .left = 200, .top = 16, .width = 168,
                 .height = 48, .tabStop = true, .text = "打赏作者", .events = {{ButtonEvent::Clicked, onClick}}},
                {.id = 3, .name = "编辑框dpi", .kind = Kind::EditBox, .left = 10, .top = 100, .width = 144,
                 .height = 48, .tabStop = true, .text = "150", .align = Align::Center,
                 .border = Border::Sunken, .font = song, .textColour = 0, .backColour = 0xFFFFFF},
                {.id = 4, .name = "组合框单位", .kind = Kind::ComboBox, .left = 10, .top = 160, .width = 160,
                 .height = 51, .tabStop = true, .items = {"像素", "厘米", "英寸"}, .current = 1, .font = song},
            },
    };
    const WindowHandle h = loadWindow(def);
    QVERIFY(h != 0);
    std::vector<std::int32_t> ids;
    for (const ControlEntry& e : listControls(h)) ids.push_back(e.ref.id);
    QCOMPARE(ids, (std::vector<std::int32_t>{2, 3, 4}));
    QCOMPARE(ReadText(h, 3, prop::kEditContent), Gbk("150"));
    QCOMPARE(ReadInt(h, 4, prop::kComboCurrent), 1);
    QCOMPARE(WidgetOf(h, 3)->font().pixelSize(), 43);
    QTest::mouseClick(WidgetOf(h, 2), Qt::LeftButton);
    QCOMPARE(clicks, 1);
    QVERIFY(registerDropTarget({h, 1}, h));
  }

  void brokenDefinitionsLoadNothing() {
    WindowDef duplicateId = SampleWindow();
    duplicateId.controls[1].id = duplicateId.controls[0].id;
    WindowDef zeroId = SampleWindow();
    zeroId.controls[0].id = 0;
    WindowDef duplicateName = SampleWindow();
    duplicateName.controls[1].name = duplicateName.controls[0].name;
    WindowDef unknownParent = SampleWindow();
    unknownParent.controls[0].parent = "不存在";
    WindowDef timerParent = SampleWindow();
    timerParent.controls[0].parent = "时钟1";
    for (const WindowDef* def : {&duplicateId, &zeroId, &duplicateName, &unknownParent, &timerParent}) {
      QCOMPARE(loadWindow(*def), WindowHandle{0});
    }
  }
};

QTEST_MAIN(PropertiesTest)
#include "properties_test.moc"
