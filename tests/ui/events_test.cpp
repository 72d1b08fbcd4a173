#include <QApplication>
#include <QComboBox>
#include <QEnterEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QPushButton>
#include <QtTest>

#include "test_windows.hpp"
#include "ui/custom_widgets.hpp"

using namespace trimbrel;
using namespace trimbrel::testing;

namespace {

// The main window's shape: tab controls all with key 0, so Tab walks them in
// the reverse of the definition order.
enum : std::int32_t { kTip = 1, kDpi, kUnit, kCaption, kWide, kBatch };

WindowDef TabWindow() {
  WindowDef w;
  w.name = "窗口";
  w.width = 500;
  w.height = 300;
  w.escCloses = true;
  auto add = [&w](std::int32_t id, const char* name, Kind kind, bool tab) {
    w.controls.push_back(
        {.id = id, .name = name, .kind = kind, .left = 10, .top = 10 + 40 * id, .width = 100, .height = 30,
         .tabStop = tab});
  };
  add(kTip, "按钮打赏", Kind::Button, true);
  add(kDpi, "编辑框dpi", Kind::EditBox, true);
  add(kUnit, "组合框单位", Kind::ComboBox, true);
  w.controls.back().items = {"像素", "厘米", "英寸"};
  w.controls.back().current = 1;
  add(kCaption, "标签5", Kind::Label, true);  // labels never take the focus
  add(kWide, "编辑框宽", Kind::EditBox, true);
  add(kBatch, "按钮修改", Kind::Button, true);
  return w;
}

std::int32_t FocusedId(WindowHandle window) {
  QWidget* focused = QApplication::focusWidget();
  for (const ControlEntry& e : listControls(window)) {
    if (WidgetOf(window, e.ref.id) == focused) return e.ref.id;
  }
  return -1;
}

// One input event as its handler saw it.
struct Seen {
  EventCode event;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t wheelSteps = 0;
  std::int32_t keys = 0;
  friend bool operator==(const Seen&, const Seen&) = default;
};
Seen SeenOf(const EventArgs& e) { return {e.event, e.x, e.y, e.wheelSteps, e.keys}; }

WindowHandle ShowActive(const WindowDef& def) {
  const WindowHandle h = loadWindow(def);
  QWidget* w = WidgetOfWindow(h);
  w->activateWindow();
  if (!QTest::qWaitForWindowActive(w)) return 0;
  return h;
}

}  // namespace

class EventsTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    DeleteAllWindows();
    SetAddressOpener({});
  }

  void createdRunsOnceAfterAllControlsExist() {
    WindowDef def = SampleWindow();
    int runs = 0;
    std::int32_t sourceId = -1;
    std::string seen;
    def.events[WindowEvent::Created] = [&](const EventArgs& e) -> std::optional<std::int32_t> {
      ++runs;
      seen = ReadText(e.source.window, kEdit, prop::kEditContent);
      // What the handler writes is what the window starts with.
      writeProperty(e.source.window, kEdit, prop::kEditContent, std::string("7"));
      sourceId = e.source.id;
      return std::nullopt;
    };
    const WindowHandle h = loadWindow(def);
    QCOMPARE(runs, 1);
    QCOMPARE(sourceId, kWindowSelf);
    QCOMPARE(seen, std::string("2.6"));
    QCOMPARE(WidgetAs<QLineEdit>(h, kEdit)->text(), QStringLiteral("7"));
  }

  void tabVisitsEqualKeysInReverseDefinitionOrder() {
    const WindowHandle h = ShowActive(TabWindow());
    QVERIFY(h);
    WidgetOf(h, kBatch)->setFocus();
    const std::vector<std::int32_t> forward{kWide, kUnit, kDpi, kTip, kBatch};
    for (std::int32_t expected : forward) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(FocusedId(h), expected);
    }
    const std::vector<std::int32_t> backward{kTip, kDpi, kUnit, kWide, kBatch, kTip};
    for (std::int32_t expected : backward) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
      QCOMPARE(FocusedId(h), expected);
    }
    // Disabled and hidden controls are skipped.
    writeProperty(h, kDpi, prop::kDisabled, 1);
    writeProperty(h, kWide, prop::kVisible, 0);
    WidgetOf(h, kBatch)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(FocusedId(h), std::int32_t{kUnit});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(FocusedId(h), std::int32_t{kTip});
  }

  void focusKeysComeBeforeDefinitionOrder() {
    WindowDef def = TabWindow();
    def.controls[0].focusKey = 2;  // 按钮打赏 last
    def.controls[5].focusKey = 1;  // 按钮修改 after the key-0 ones
    const WindowHandle h = ShowActive(def);
    QVERIFY(h);
    WidgetOf(h, kWide)->setFocus();
    const std::vector<std::int32_t> expected{kUnit, kDpi, kBatch, kTip, kWide};
    for (std::int32_t id : expected) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(FocusedId(h), id);
    }
  }

  void closeQueryCanKeepTheWindowOpen() {
    WindowDef def = TabWindow();
    int queries = 0;
    bool keepOpen = true;
    def.events[WindowEvent::CloseQuery] = [&](const EventArgs&) -> std::optional<std::int32_t> {
      ++queries;
      if (keepOpen) return 0;
      return std::nullopt;
    };
    const WindowHandle h = loadWindow(def);
    QVERIFY(!RequestClose(h));
    QVERIFY(IsWindowLoaded(h));
    keepOpen = false;
    QVERIFY(RequestClose(h));
    QVERIFY(!IsWindowLoaded(h));
    QCOMPARE(queries, 2);

    // A closed window's timers stop with the close, before Qt deletes it.
    const WindowHandle timed = loadWindow(SampleWindow());
    QPointer<QTimer> timer = FindWindowWidget(timed)->control(kTimer)->timer;
    QVERIFY(timer->isActive());
    QVERIFY(RequestClose(timed));
    QVERIFY(timer);
    QVERIFY(!timer->isActive());
  }

  void escClosesThroughTheCloseQuery() {
    WindowDef def = TabWindow();
    int queries = 0;
    def.events[WindowEvent::CloseQuery] = [&](const EventArgs&) -> std::optional<std::int32_t> {
      ++queries;
      return std::nullopt;
    };
    const WindowHandle h = ShowActive(def);
    QVERIFY(h);
    WidgetOf(h, kWide)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(queries, 1);
    QVERIFY(!IsWindowLoaded(h));

    def.escCloses = false;
    const WindowHandle kept = ShowActive(def);
    QVERIFY(kept);
    WidgetOf(kept, kWide)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(IsWindowLoaded(kept));
  }

  // Item chosen fires on the user's choice only, with the new index in place.
  void comboItemChosenOnlyOnUserChoice() {
    WindowDef def = TabWindow();
    std::vector<std::int32_t> seen;
    def.controls[2].events[ComboEvent::ItemChosen] = [&](const EventArgs& e) -> std::optional<std::int32_t> {
      seen.push_back(ReadInt(e.source.window, e.source.id, prop::kComboCurrent));
      return std::nullopt;
    };
    const WindowHandle h = ShowActive(def);
    QVERIFY(h);
    writeProperty(h, kUnit, prop::kComboCurrent, 0);
    writeProperty(h, kUnit, prop::kComboCurrent, 2);
    QVERIFY(seen.empty());
    auto* combo = WidgetAs<QComboBox>(h, kUnit);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(seen, (std::vector<std::int32_t>{1}));
    QCOMPARE(ReadInt(h, kUnit, prop::kComboCurrent), 1);
  }

  void buttonClickAndEditChangeFire() {
    WindowDef def = TabWindow();
    int clicks = 0;
    int changes = 0;
    def.controls[5].events[ButtonEvent::Clicked] = [&](const EventArgs& e) -> std::optional<std::int32_t> {
      clicks += e.source.id == kBatch ? 1 : 100;
      return std::nullopt;
    };
    def.controls[4].events[EditEvent::Changed] = [&](const EventArgs&) -> std::optional<std::int32_t> {
      ++changes;
      return std::nullopt;
    };
    const WindowHandle h = ShowActive(def);
    QVERIFY(h);
    QTest::mouseClick(WidgetOf(h, kBatch), Qt::LeftButton);
    WidgetOf(h, kBatch)->setFocus();
    QTest::keyClick(WidgetOf(h, kBatch), Qt::Key_Space);
    QCOMPARE(clicks, 2);
    QTest::keyClicks(WidgetOf(h, kWide), "ab");
    QCOMPARE(changes, 2);
  }

  // Mouse handlers get client coordinates and keys; false consumes.
  void mouseEventsCarryPositionAndKeys() {
    WindowDef def = SampleWindow();
    std::vector<Seen> seen;
    bool consume = false;
    auto record = [&](const EventArgs& e) -> std::optional<std::int32_t> {
      seen.push_back(SeenOf(e));
      if (consume) return 0;
      return std::nullopt;
    };
    for (InputEvent n : {InputEvent::LeftDown, InputEvent::LeftUp, InputEvent::RightDown}) {
      def.controls[2].events[n] = record;
    }
    int clicks = 0;
    def.controls[2].events[ButtonEvent::Clicked] = [&](const EventArgs&) -> std::optional<std::int32_t> {
      ++clicks;
      return std::nullopt;
    };
    const WindowHandle h = loadWindow(def);
    QWidget* button = WidgetOf(h, kButton);
    QTest::mousePress(button, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, QPoint(5, 6));
    QTest::mouseRelease(button, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, QPoint(5, 6));
    QTest::mousePress(button, Qt::RightButton, Qt::AltModifier, QPoint(7, 8));
    QCOMPARE(seen, (std::vector<Seen>{{InputEvent::LeftDown, 5, 6, 0, kKeyCtrl | kKeyShift},
                                      {InputEvent::LeftUp, 5, 6, 0, kKeyCtrl | kKeyShift},
                                      {InputEvent::RightDown, 7, 8, 0, kKeyAlt}}));
    QCOMPARE(clicks, 1);
    consume = true;
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, 1);
  }

  // Inner widgets (a text box's viewport) report in the control's own
  // coordinates; focus, wheel, double-click and moves arrive too.
  void otherInputEventsReachTheControl() {
    WindowDef def = SampleWindow();
    def.controls[kMemo - 1].border = Border::Sunken;
    std::vector<Seen> seen;
    auto record = [&](const EventArgs& e) -> std::optional<std::int32_t> {
      seen.push_back(SeenOf(e));
      return std::nullopt;
    };
    for (InputEvent n : {InputEvent::LeftDown, InputEvent::LeftDoubleClick, InputEvent::MouseMove,
                         InputEvent::GotFocus, InputEvent::LostFocus, InputEvent::Wheel}) {
      def.controls[kMemo - 1].events[n] = record;
    }
    const WindowHandle h = ShowActive(def);
    QVERIFY(h);
    auto* memo = WidgetAs<QPlainTextEdit>(h, kMemo);
    QWidget* viewport = memo->viewport();
    const QPoint inside = viewport->mapTo(memo, QPoint(5, 5));
    QVERIFY(inside != QPoint(5, 5));  // the frame moves the viewport

    auto expect = [&](const std::vector<Seen>& rows) {
      const bool same = seen == rows;
      seen.clear();
      return same;
    };
    memo->setFocus();
    QVERIFY(expect({{InputEvent::GotFocus}}));
    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(expect({{InputEvent::LeftDown, inside.x(), inside.y()}}));
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
    QVERIFY(!seen.empty());
    QCOMPARE(seen.back(), (Seen{InputEvent::LeftDoubleClick, inside.x(), inside.y(), 0, kKeyShift}));
    seen.clear();
    QMouseEvent move(QEvent::MouseMove, QPointF(7, 9), viewport->mapToGlobal(QPointF(7, 9)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    const QPoint moved = viewport->mapTo(memo, QPoint(7, 9));
    QVERIFY(expect({{InputEvent::MouseMove, moved.x(), moved.y()}}));
    QWheelEvent wheel(QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -240),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    QVERIFY(expect({{InputEvent::Wheel, 0, 0, -2, kKeyCtrl}}));
    WidgetOf(h, kEdit)->setFocus();
    QVERIFY(expect({{InputEvent::LostFocus}}));
  }

  void comboEditTextChangedOnlyByTheUser() {
    WindowDef def = SampleWindow();
    ControlDef& combo = def.controls[kCombo - 1];
    combo.editable = true;
    combo.text = "厘米";
    int changes = 0;
    combo.events[ComboEvent::EditTextChanged] = [&](const EventArgs&) -> std::optional<std::int32_t> {
      ++changes;
      return std::nullopt;
    };
    const WindowHandle h = ShowActive(def);
    QVERIFY(h);
    QCOMPARE(ReadText(h, kCombo, prop::kComboEditText), Gbk("厘米"));
    writeProperty(h, kCombo, prop::kComboEditText, Gbk("毫米"));
    QCOMPARE(changes, 0);
    auto* box = WidgetAs<QComboBox>(h, kCombo);
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box, "mm");
    QCOMPARE(changes, 2);
    QCOMPARE(ReadText(h, kCombo, prop::kComboEditText), std::string("mm"));
  }

  // Writing the interval the timer already has leaves it running undisturbed.
  void timerKeepsRunningWhenTheSameIntervalIsWritten() {
    const WindowHandle h = loadWindow(SampleWindow());
    writeProperty(h, kTimer, prop::kTimerInterval, 1000);
    QTimer* timer = FindWindowWidget(h)->control(kTimer)->timer;
    QTest::qWait(300);
    writeProperty(h, kTimer, prop::kTimerInterval, 1000);
    QVERIFY(timer->isActive());
    QVERIFY2(timer->remainingTime() < 900, "the timer was restarted");
  }

  void characterHandlerReplacesOrSwallows() {
    WindowDef def = SampleWindow();
    def.controls[0].text.clear();
    def.controls[0].events[InputEvent::Character] = [](const EventArgs& e) -> std::optional<std::int32_t> {
      if (e.character == 'a') return 'b';
      if (e.character == 'x') return 0;
      return std::nullopt;
    };
    const WindowHandle h = ShowActive(def);
    QVERIFY(h);
    QWidget* edit = WidgetOf(h, kEdit);
    edit->setFocus();
    QTest::keyClicks(edit, "axca");
    QCOMPARE(ReadText(h, kEdit, prop::kEditContent), std::string("bcb"));
  }

  void keyDownHandlerCanConsume() {
    WindowDef def = SampleWindow();
    def.controls[0].text.clear();
    std::vector<std::int32_t> keys;
    def.controls[0].events[InputEvent::KeyDown] = [&](const EventArgs& e) -> std::optional<std::int32_t> {
      keys.push_back(e.keyCode);
      if (e.keyCode == 'Q') return 0;
      return std::nullopt;
    };
    const WindowHandle h = ShowActive(def);
    QVERIFY(h);
    QWidget* edit = WidgetOf(h, kEdit);
    edit->setFocus();
    QTest::keyClicks(edit, "wq");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(keys, (std::vector<std::int32_t>{'W', 'Q', 13}));
    QCOMPARE(ReadText(h, kEdit, prop::kEditContent), std::string("w"));
  }

  // Links open on the press: the web address, or mailto: for link type 0;
  // a successful open marks them visited.
  void hyperlinkOpensOnPress() {
    std::vector<std::string> opened;
    bool succeed = false;
    SetAddressOpener([&](const std::string& address) {
      opened.push_back(address);
      return succeed;
    });
    const WindowHandle h = loadWindow(SampleWindow());
    auto* link = WidgetAs<LinkLabel>(h, kLink);
    QCOMPARE(link->currentTextColour(), QColor(0, 0, 255));
    QTest::mousePress(link, Qt::LeftButton);
    QCOMPARE(opened, (std::vector<std::string>{"https://example.org/home"}));
    QVERIFY(!link->visited());
    succeed = true;
    writeProperty(h, kLink, prop::kLinkType, 0);
    QTest::mousePress(link, Qt::RightButton);
    QCOMPARE(opened.size(), std::size_t{1});
    QTest::mousePress(link, Qt::LeftButton);
    QCOMPARE(opened.back(), std::string("mailto:someone@example.org"));
    QVERIFY(link->visited());
    QCOMPARE(link->currentTextColour(), QColor(128, 0, 128));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), link->mapToGlobal(QPointF(1, 1)));
    QApplication::sendEvent(link, &enter);
    QCOMPARE(link->currentTextColour(), QColor(255, 0, 0));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    writeProperty(h, kLink, prop::kLinkEmail, std::string());
    QTest::mousePress(link, Qt::LeftButton);
    QCOMPARE(opened.size(), std::size_t{2});
  }

  void pictureButtonStatesFallBackToNormal() {
    WindowDef def = SampleWindow();
    int clicks = 0;
    def.controls[kPicBtn - 1].events[ButtonEvent::Clicked] = [&](const EventArgs&) -> std::optional<std::int32_t> {
      ++clicks;
      return std::nullopt;
    };
    const WindowHandle h = loadWindow(def);
    auto* button = WidgetAs<PictureButton>(h, kPicBtn);
    QVERIFY(QTest::qWaitForWindowExposed(WidgetOfWindow(h)));
    auto shown = [button] { return button->grab().toImage().pixelColor(10, 10); };
    QCOMPARE(shown(), QColor(Qt::red));
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), button->mapToGlobal(QPointF(3, 3)));
    QApplication::sendEvent(button, &enter);
    QCOMPARE(button->state(), PictureButton::Hover);
    QCOMPARE(shown(), QColor(Qt::green));
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(button->state(), PictureButton::Pressed);
    QCOMPARE(shown(), QColor(Qt::red));  // no pressed picture: the normal one
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(clicks, 1);
    // Released outside: no click.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(50, 50));
    QCOMPARE(clicks, 1);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    QCOMPARE(button->state(), PictureButton::Normal);
    writeProperty(h, kPicBtn, prop::kDisabled, 1);
    QCOMPARE(button->state(), PictureButton::Disabled);
    QCOMPARE(shown(), QColor(Qt::red));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(clicks, 1);
  }

  void ownedWindowClosesWithItsOwner() {
    const WindowHandle main = loadWindow(TabWindow());
    const WindowHandle tip = loadWindow(SampleWindow(), main);
    QVERIFY(tip != 0);
    QCOMPARE(WidgetOfWindow(tip)->parentWidget(), WidgetOfWindow(main));
    QVERIFY(RequestClose(main));
    QTRY_VERIFY(!IsWindowLoaded(tip));
    QCOMPARE(loadWindow(SampleWindow(), main), WindowHandle{0});
  }
};

QTEST_MAIN(EventsTest)
#include "events_test.moc"
