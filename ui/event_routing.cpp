// Events reach their handlers here: the bound handler runs for an event, and
// the mouse, wheel, focus and key input of every control's widgets (inner
// parts included) is routed to the control it belongs to.
#include <QApplication>
#include <QKeyEvent>

#include <optional>

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
// digits and the space bar have the same codes in Qt.
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

// A handler's answer 0 consumes the input.
bool Consumed(const std::optional<std::int32_t>& result) { return result && *result == 0; }

}  // namespace

bool HasHandler(const Control& c, const EventCode& event) {
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

void WindowWidget::routeInput() {
  // Every control's own widget is known before any is watched, so that
  // watching one stops at the widgets of the others inside it.
  for (auto& c : controls_) {
    if (c->widget) watched_[c->widget] = {c->widget.data(), c.get()};
  }
  installEventFilter(this);
  watched_[this] = {this, self_.get()};
  if (HasHandler(*self_, InputEvent::MouseMove)) setMouseTracking(true);
  for (auto& c : controls_) {
    if (c->widget) watch(*c);
  }
}

void WindowWidget::watch(Control& c) {
  // Qt drops moves without a button held unless the widget tracks the mouse;
  // a bound mouse-moved handler wants them all.
  const bool tracking = HasHandler(c, InputEvent::MouseMove);
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

void WindowWidget::unwatch(const QWidget& old) {
  for (auto it = watched_.begin(); it != watched_.end();) {
    auto* w = qobject_cast<QWidget*>(it->second.object.data());
    if (!it->second.object || (w && (w == &old || old.isAncestorOf(w)))) {
      it = watched_.erase(it);
    } else {
      ++it;
    }
  }
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
  auto* receiver = qobject_cast<QWidget*>(watched);
  if (!c.widget || !receiver) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      return routeMouse(c, *receiver, *static_cast<QMouseEvent*>(event));
    case QEvent::Wheel:
      return routeWheel(c, *static_cast<QWheelEvent*>(event));
    case QEvent::FocusIn:
    case QEvent::FocusOut:
      routeFocus(c, *receiver, event->type() == QEvent::FocusIn);
      return false;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return routeKey(c, *receiver, *static_cast<QKeyEvent*>(event));
    default:
      return false;
  }
}

// Qt hands one mouse or wheel event to several widgets of a control: a
// scroll area passes the wheel on to its scroll bar, an ignored event goes
// on to the parent as a copy. The handler runs for the first of them only.
bool WindowWidget::seenBefore(const Control& c, const QSinglePointEvent& event) {
  const InputMark mark{&c, static_cast<int>(event.type()), event.timestamp(), event.globalPosition()};
  const bool again = innerMark_.control == mark.control && innerMark_.type == mark.type &&
                     innerMark_.timestamp == mark.timestamp && innerMark_.global == mark.global;
  innerMark_ = mark;
  return again;
}

bool WindowWidget::routeMouse(Control& c, QWidget& receiver, QMouseEvent& event) {
  const QEvent::Type type = event.type();
  std::optional<InputEvent> raised;
  if (type == QEvent::MouseMove) {
    raised = InputEvent::MouseMove;
  } else if (event.button() == Qt::LeftButton) {
    raised = type == QEvent::MouseButtonPress     ? InputEvent::LeftDown
             : type == QEvent::MouseButtonRelease ? InputEvent::LeftUp
                                                  : InputEvent::LeftDoubleClick;
  } else if (event.button() == Qt::RightButton && type != QEvent::MouseButtonDblClick) {
    raised = type == QEvent::MouseButtonPress ? InputEvent::RightDown : InputEvent::RightUp;
  }
  if (!raised || !HasHandler(c, *raised) || seenBefore(c, event)) return false;
  QPoint p = event.position().toPoint();
  if (&receiver != c.widget) p = receiver.mapTo(c.widget, p);
  return Consumed(
      FireEvent(*this, c, {.event = *raised, .x = p.x(), .y = p.y(), .keys = KeyState(event.modifiers())}));
}

bool WindowWidget::routeWheel(Control& c, QWheelEvent& event) {
  if (!HasHandler(c, InputEvent::Wheel) || seenBefore(c, event)) return false;
  return Consumed(FireEvent(*this, c, {.event = InputEvent::Wheel, .wheelSteps = event.angleDelta().y() / 120,
                                       .keys = KeyState(event.modifiers())}));
}

void WindowWidget::routeFocus(Control& c, QWidget& receiver, bool gained) {
  const InputEvent raised = gained ? InputEvent::GotFocus : InputEvent::LostFocus;
  if (&receiver == c.widget && HasHandler(c, raised)) FireEvent(*this, c, {.event = raised});
}

// Keys a control ignores travel on to its parents; only the focused control
// sees them as its own. The character handler may swallow the typed
// character or have another one typed in its place.
bool WindowWidget::routeKey(Control& c, QWidget& receiver, QKeyEvent& event) {
  if (replayingKey_) return false;
  QWidget* focused = QApplication::focusWidget();
  if (&receiver != focused && !(&receiver == this && focused == nullptr)) return false;
  const bool press = event.type() == QEvent::KeyPress;
  const InputEvent raised = press ? InputEvent::KeyDown : InputEvent::KeyUp;
  if (HasHandler(c, raised) &&
      Consumed(FireEvent(*this, c, {.event = raised, .keyCode = VirtualKey(event.key()),
                                    .keys = KeyState(event.modifiers())}))) {
    return true;
  }
  if (!press || event.text().isEmpty() || !HasHandler(c, InputEvent::Character)) return false;
  const auto typed = event.text().toUcs4();
  const auto code = static_cast<std::int32_t>(typed.front());
  const auto result = FireEvent(*this, c, {.event = InputEvent::Character, .character = code});
  if (!result || *result == code) return false;
  if (*result == 0) return true;
  const char32_t replacement = static_cast<char32_t>(*result);
  QKeyEvent changed(QEvent::KeyPress, event.key(), event.modifiers(), QString::fromUcs4(&replacement, 1),
                    event.isAutoRepeat(), static_cast<ushort>(event.count()));
  replayingKey_ = true;
  QCoreApplication::sendEvent(&receiver, &changed);
  replayingKey_ = false;
  return true;
}

}  // namespace trimbrel
