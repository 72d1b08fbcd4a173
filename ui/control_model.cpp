// A loaded window: builds its controls, routes their input to the bound
// handlers, keeps the focus order and the close query.
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unordered_set>
#include <utility>

#include "platform/platform.hpp"
#include "ui/control_model.hpp"

namespace trimbrel {
namespace {

std::int32_t KeyState(Qt::KeyboardModifiers mods) {
  std::int32_t state = 0;
  if (mods & Qt::ControlModifier) state |= kKeyCtrl;
  if (mods & Qt::ShiftModifier) state |= kKeyShift;
  if (mods & Qt::AltModifier) state |= kKeyAlt;
  return state;
}

// Handlers compare key codes with the classic virtual-key numbers; letters,
// digits and the space bar already agree with Qt's codes.
std::int32_t VirtualKey(int key) {
  switch (key) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Escape: return 27;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    default: break;
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 112 + (key - Qt::Key_F1);
  return key;
}

}  // namespace

std::unordered_map<WindowHandle, WindowWidget*>& WindowRegistry() {
  static std::unordered_map<WindowHandle, WindowWidget*> registry;
  return registry;
}

WindowWidget* FindWindowWidget(WindowHandle handle) {
  auto& registry = WindowRegistry();
  auto it = registry.find(handle);
  return it == registry.end() ? nullptr : it->second;
}

WindowWidget::WindowWidget(const WindowDef& def, QWidget* owner)
    : QWidget(owner, Qt::Window), def_(def) {
  static WindowHandle next = 1;
  handle_ = next++;

  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (def.minimizeButton) flags |= Qt::WindowMinimizeButtonHint;
  if (def.maximizeButton) flags |= Qt::WindowMaximizeButtonHint;
  setWindowFlags(flags);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QString::fromStdString(def.title));
  if (!def.iconPath.empty()) setWindowIcon(QIcon(QString::fromStdString(def.iconPath)));
  if (def.backColor != kDefaultColor) {
    QPalette p = palette();
    p.setColor(QPalette::Window, ColorFromValue(def.backColor));
    setPalette(p);
    setAutoFillBackground(true);
  }
  if (def.font) setFont(FontFor(def.font, font()));

  self_ = std::make_unique<Control>();
  ControlDef& s = self_->stored;
  s.id = kWindowSelf;
  s.name = def.name;
  s.kind = Kind::window;
  s.left = def.left;
  s.top = def.top;
  s.width = def.width;
  s.height = def.height;
  s.visible = def.visible;
  s.events = def.events;
  self_->nameGbk = Utf8ToGbk(def.name);
  self_->order = -1;
  self_->widget = this;
}

WindowWidget::~WindowWidget() { unregister(); }

void WindowWidget::unregister() {
  auto& registry = WindowRegistry();
  auto it = registry.find(handle_);
  if (it != registry.end() && it->second == this) registry.erase(it);
}

Control* WindowWidget::control(std::int32_t id) {
  if (id == kWindowSelf) return self_.get();
  auto it = byId_.find(id);
  return it == byId_.end() ? nullptr : it->second;
}

Control* WindowWidget::controlNamed(const std::string& utf8Name) {
  for (auto& c : controls_) {
    if (c->stored.name == utf8Name) return c.get();
  }
  return nullptr;
}

QWidget* WindowWidget::parentWidgetFor(const Control& c) {
  if (c.stored.parent.empty()) return this;
  Control* parent = controlNamed(c.stored.parent);
  return parent && parent->widget ? parent->widget.data() : this;
}

bool WindowWidget::build() {
  std::unordered_set<std::int32_t> ids;
  std::unordered_set<std::string> names;
  for (const ControlDef& d : def_.controls) {
    if (d.id == kWindowSelf || !ids.insert(d.id).second) return false;
    if (!d.name.empty() && !names.insert(d.name).second) return false;
  }
  for (const ControlDef& d : def_.controls) {
    if (d.parent.empty()) continue;
    // The parent must be a windowed control, and the chain must end at the
    // window rather than loop.
    const ControlDef* p = &d;
    for (std::size_t steps = 0; p && !p->parent.empty(); ++steps) {
      if (steps > def_.controls.size()) return false;
      auto it = std::find_if(def_.controls.begin(), def_.controls.end(),
                             [&](const ControlDef& o) { return o.name == p->parent; });
      if (it == def_.controls.end() || !IsWindowed(it->kind)) return false;
      p = &*it;
    }
  }

  int order = 0;
  for (const ControlDef& d : def_.controls) {
    auto c = std::make_unique<Control>();
    c->stored = d;
    c->nameGbk = Utf8ToGbk(d.name);
    c->tagGbk = Utf8ToGbk(d.tag);
    c->pointerBytes = PointerBytes(d.pointer);
    c->order = order++;
    byId_[d.id] = c.get();
    controls_.push_back(std::move(c));
  }
  for (auto& c : controls_) {
    if (IsWindowed(c->stored.kind)) c->widget = CreateControlWidget(*this, *c);
  }
  // Each sibling goes below the ones defined before it: the first row ends on top.
  for (auto& c : controls_) {
    if (!c->widget) continue;
    c->widget->setParent(parentWidgetFor(*c));
    c->widget->setGeometry(c->stored.left, c->stored.top, c->stored.width, c->stored.height);
    c->widget->lower();
  }
  for (auto& c : controls_) {
    if (!c->widget) continue;
    c->widget->setEnabled(!c->stored.disabled);
    c->widget->setVisible(c->stored.visible);
    c->widget->setAttribute(Qt::WA_NoMousePropagation);
    watched_[c->widget] = {c->widget.data(), c.get()};
  }
  installEventFilter(this);
  watched_[this] = {this, self_.get()};
  if (HasHandler(*self_, event::kMouseMove)) setMouseTracking(true);
  for (auto& c : controls_) {
    if (c->widget) watch(*c);
  }
  for (auto& c : controls_) {
    if (c->stored.kind != Kind::Timer) continue;
    c->timer = new QTimer(this);
    Control* cp = c.get();
    connect(c->timer, &QTimer::timeout, this, [this, cp] { FireEvent(*this, *cp, {{}, event::kTick}); });
    if (c->stored.interval > 0) c->timer->start(c->stored.interval);
  }
  WindowRegistry()[handle_] = this;
  return true;
}

void WindowWidget::placeOnScreen() {
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  const int extraW = frame.width() - client.width();
  const int extraH = frame.height() - client.height();
  const QSize size(std::max(0, def_.width - extraW), std::max(0, def_.height - extraH));
  if (def_.resizable) {
    resize(size);
  } else {
    setFixedSize(size);
  }
  QPoint at(def_.left, def_.top);
  if (def_.centred) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
      const QRect area = screen->geometry();
      at = QPoint(area.x() + (area.width() - def_.width) / 2, area.y() + (area.height() - def_.height) / 2);
    }
  }
  move(at);
}

// A window manager frames the window only after it is shown, and tells its
// size later still; the outer size is settled the first time it shows.
bool WindowWidget::event(QEvent* event) {
  const QEvent::Type type = event->type();
  // Other events may delete the window (a deferred delete): nothing of it
  // is touched after them.
  if (frameFitted_ || (type != QEvent::Move && type != QEvent::Resize && type != QEvent::Show)) {
    return QWidget::event(event);
  }
  const bool result = QWidget::event(event);
  if (isVisible() && frameGeometry().size() != geometry().size()) {
    frameFitted_ = true;
    QPointer<WindowWidget> self(this);
    QTimer::singleShot(0, this, [self] {
      if (self) self->placeOnScreen();
    });
  }
  return result;
}

void WindowWidget::watch(Control& c) {
  // Qt drops moves without a button held unless the widget tracks the mouse;
  // a bound mouse-moved handler wants them all.
  const bool tracking = HasHandler(c, event::kMouseMove);
  watched_[c.widget] = {c.widget.data(), &c};
  c.widget->installEventFilter(this);
  if (tracking) c.widget->setMouseTracking(true);
  const auto inner = c.widget->findChildren<QWidget*>();
  for (QWidget* w : inner) {
    // Stop at other controls placed inside this one (a picture box's
    // children) and at popups, which are windows of their own.
    bool foreign = false;
    for (QWidget* up = w; up && up != c.widget; up = up->parentWidget()) {
      auto it = watched_.find(up);
      const bool other = it != watched_.end() && it->second.object && it->second.control != &c;
      if (other || up->isWindow()) foreign = true;
    }
    if (foreign) continue;
    watched_[w] = {w, &c};
    w->installEventFilter(this);
    if (tracking) w->setMouseTracking(true);
  }
}

void WindowWidget::rebuild(Control& c) {
  QWidget* old = c.widget;
  if (!old) return;
  CaptureLiveState(c);
  QWidget* parent = old->parentWidget();
  QWidget* focused = QApplication::focusWidget();
  const bool hadFocus = focused && (focused == old || old->isAncestorOf(focused));

  // The sibling right above the old widget keeps the new one at its place.
  QWidget* above = nullptr;
  const QObjectList& siblings = parent->children();
  const auto at = siblings.indexOf(old);
  for (auto i = at + 1; i < siblings.size(); ++i) {
    auto* w = qobject_cast<QWidget*>(siblings[i]);
    if (w && !w->isWindow()) {
      above = w;
      break;
    }
  }

  QWidget* fresh = CreateControlWidget(*this, c);
  fresh->setParent(parent);
  fresh->setGeometry(old->geometry());
  if (above) {
    fresh->stackUnder(above);
  } else {
    fresh->raise();
  }
  for (auto& other : controls_) {
    if (other->widget && other->widget->parentWidget() == old) {
      const bool hidden = other->widget->isHidden();
      const QRect g = other->widget->geometry();
      other->widget->setParent(fresh);
      other->widget->setGeometry(g);
      other->widget->setVisible(!hidden);
    }
  }
  fresh->setEnabled(!c.stored.disabled);
  fresh->setAttribute(Qt::WA_NoMousePropagation);

  for (auto it = watched_.begin(); it != watched_.end();) {
    auto* w = qobject_cast<QWidget*>(it->second.object.data());
    if (!it->second.object || (w && (w == old || old->isAncestorOf(w)))) {
      it = watched_.erase(it);
    } else {
      ++it;
    }
  }
  old->hide();
  old->setParent(nullptr);
  old->deleteLater();

  c.widget = fresh;
  fresh->setVisible(c.stored.visible);
  watch(c);
  if (dropTarget.window != 0) {
    fresh->setAcceptDrops(false);
    for (QWidget* w : fresh->findChildren<QWidget*>()) w->setAcceptDrops(false);
  }
  if (hadFocus) fresh->setFocus(Qt::OtherFocusReason);
}

bool WindowWidget::closeByRequest() { return close(); }

void WindowWidget::closeEvent(QCloseEvent* event) {
  const auto result = FireEvent(*this, *self_, {{}, event::kCloseQuery});
  if (result && *result == 0) {
    event->ignore();
    return;
  }
  event->accept();
  // From here on the window counts as gone, although Qt deletes it later.
  for (auto& c : controls_) {
    if (c->timer) c->timer->stop();
  }
  unregister();
}

void WindowWidget::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && def_.escCloses) {
    close();
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && def_.enterMovesFocus) {
    focusNextPrevChild(true);
    return;
  }
  QWidget::keyPressEvent(event);
}

bool WindowWidget::focusNextPrevChild(bool next) {
  std::vector<Control*> ring;
  for (auto& c : controls_) {
    QWidget* w = c->widget;
    if (w && TakesFocus(c->stored.kind) && c->stored.tabStop && w->isVisibleTo(this) &&
        w->isEnabled()) {
      ring.push_back(c.get());
    }
  }
  if (ring.empty()) return true;
  // Ascending keys; among equal keys the later definition comes first.
  std::stable_sort(ring.begin(), ring.end(), [](const Control* a, const Control* b) {
    if (a->stored.focusKey != b->stored.focusKey) return a->stored.focusKey < b->stored.focusKey;
    return a->order > b->order;
  });
  const QWidget* focused = QApplication::focusWidget();
  const auto n = static_cast<std::ptrdiff_t>(ring.size());
  std::ptrdiff_t at = -1;
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    QWidget* w = ring[static_cast<std::size_t>(i)]->widget;
    if (focused && (focused == w || w->isAncestorOf(focused))) at = i;
  }
  std::ptrdiff_t target;
  if (at < 0) {
    target = next ? 0 : n - 1;
  } else {
    target = next ? (at + 1) % n : (at - 1 + n) % n;
  }
  ring[static_cast<std::size_t>(target)]->widget->setFocus(next ? Qt::TabFocusReason
                                                                : Qt::BacktabFocusReason);
  return true;
}

bool WindowWidget::eventFilter(QObject* watched, QEvent* event) {
  auto it = watched_.find(watched);
  if (it != watched_.end() && it->second.object == watched &&
      filterControlEvent(*it->second.control, watched, event)) {
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

bool WindowWidget::filterControlEvent(Control& c, QObject* watched, QEvent* event) {
  QWidget* own = c.widget;
  auto* receiver = qobject_cast<QWidget*>(watched);
  if (!own || !receiver) return false;
  auto consumed = [](const std::optional<std::int32_t>& r) { return r && *r == 0; };
  // Qt hands one mouse or wheel event to several widgets of a control: a
  // scroll area passes the wheel on to its scroll bar, an ignored event goes
  // on to the parent as a copy. The handler runs for the first of them only.
  auto seenBefore = [&](const QSinglePointEvent* pe) {
    const InputMark mark{&c, static_cast<int>(pe->type()), pe->timestamp(), pe->globalPosition()};
    const bool again = innerMark_.control == mark.control && innerMark_.type == mark.type &&
                       innerMark_.timestamp == mark.timestamp && innerMark_.global == mark.global;
    innerMark_ = mark;
    return again;
  };

  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      auto* me = static_cast<QMouseEvent*>(event);
      int number = 0;
      if (event->type() == QEvent::MouseMove) {
        number = event::kMouseMove;
      } else if (me->button() == Qt::LeftButton) {
        number = event->type() == QEvent::MouseButtonPress     ? event::kLeftDown
                 : event->type() == QEvent::MouseButtonRelease ? event::kLeftUp
                                                               : event::kLeftDoubleClick;
      } else if (me->button() == Qt::RightButton && event->type() != QEvent::MouseButtonDblClick) {
        number = event->type() == QEvent::MouseButtonPress ? event::kRightDown : event::kRightUp;
      }
      if (number == 0 || !HasHandler(c, number) || seenBefore(me)) return false;
      QPoint p = me->position().toPoint();
      if (receiver != own) p = receiver->mapTo(own, p);
      return consumed(FireEvent(*this, c, {{}, number, p.x(), p.y(), KeyState(me->modifiers())}));
    }
    case QEvent::Wheel: {
      auto* we = static_cast<QWheelEvent*>(event);
      if (!HasHandler(c, event::kWheel) || seenBefore(we)) return false;
      return consumed(FireEvent(*this, c, {{}, event::kWheel, we->angleDelta().y() / 120, 0,
                                           KeyState(we->modifiers())}));
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
      const int number = event->type() == QEvent::FocusIn ? event::kGotFocus : event::kLostFocus;
      if (receiver == own && HasHandler(c, number)) FireEvent(*this, c, {{}, number});
      return false;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      // Keys a control ignores travel on to its parents; only the focused
      // control sees them as its own.
      if (replayingKey_) return false;
      QWidget* focused = QApplication::focusWidget();
      if (receiver != focused && !(receiver == this && focused == nullptr)) return false;
      auto* ke = static_cast<QKeyEvent*>(event);
      const std::int32_t keys = KeyState(ke->modifiers());
      const int number = event->type() == QEvent::KeyPress ? event::kKeyDown : event::kKeyUp;
      if (HasHandler(c, number) &&
          consumed(FireEvent(*this, c, {{}, number, VirtualKey(ke->key()), 0, keys}))) {
        return true;
      }
      if (event->type() != QEvent::KeyPress || ke->text().isEmpty() || !HasHandler(c, event::kCharacter)) {
        return false;
      }
      const auto typed = ke->text().toUcs4();
      const auto code = static_cast<std::int32_t>(typed.front());
      const auto result = FireEvent(*this, c, {{}, event::kCharacter, code});
      if (!result || *result == code) return false;
      if (*result == 0) return true;
      const char32_t replacement = static_cast<char32_t>(*result);
      QKeyEvent changed(QEvent::KeyPress, ke->key(), ke->modifiers(), QString::fromUcs4(&replacement, 1),
                        ke->isAutoRepeat(), static_cast<ushort>(ke->count()));
      replayingKey_ = true;
      QCoreApplication::sendEvent(receiver, &changed);
      replayingKey_ = false;
      return true;
    }
    default:
      return false;
  }
}

namespace {

// The registered drop target and the window it belongs to, while both exist.
std::pair<WindowWidget*, Control*> DropTargetOf(const ControlRef& ref) {
  WindowWidget* owner = FindWindowWidget(ref.window);
  Control* target = owner ? owner->control(ref.id) : nullptr;
  return {target ? owner : nullptr, target};
}

}  // namespace

void WindowWidget::dragEnterEvent(QDragEnterEvent* event) {
  auto [owner, target] = DropTargetOf(dropTarget);
  if (target) {
    HandleDragEnter(*owner, *target, event);
  } else {
    event->ignore();
  }
}

void WindowWidget::dragMoveEvent(QDragMoveEvent* event) {
  auto [owner, target] = DropTargetOf(dropTarget);
  if (target) {
    HandleDragMove(*owner, *target, event);
  } else {
    event->ignore();
  }
}

void WindowWidget::dragLeaveEvent(QDragLeaveEvent*) {
  auto [owner, target] = DropTargetOf(dropTarget);
  if (target) HandleDragLeave(*target);
}

void WindowWidget::dropEvent(QDropEvent* event) {
  auto [owner, target] = DropTargetOf(dropTarget);
  if (target) {
    HandleDrop(*owner, *target, event);
  } else {
    event->ignore();
  }
}

bool HasHandler(const Control& c, int event) {
  auto it = c.stored.events.find(event);
  return it != c.stored.events.end() && it->second;
}

std::optional<std::int32_t> FireEvent(WindowWidget& window, Control& c, EventArgs args) {
  // A closed window waits for Qt to delete it; its handlers must not run in
  // between, as everything they would touch counts as gone.
  if (FindWindowWidget(window.handle()) != &window) return std::nullopt;
  auto it = c.stored.events.find(args.event);
  if (it == c.stored.events.end() || !it->second) return std::nullopt;
  args.source = ControlRef{window.handle(), c.stored.id};
  // A copy: the handler may rewrite the bindings or rebuild the control.
  Handler handler = it->second;
  return handler(args);
}

void FatalControlError(const char* utf8Detail) {
  const QString text = QStringLiteral("运行时出错!\r\n\r\n错误信息：") + QString::fromUtf8(utf8Detail);
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
  } else {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  }
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(EXIT_FAILURE);
}

}  // namespace trimbrel
