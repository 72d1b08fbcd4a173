// A loaded window's life: built from its definition, placed on the screen
// with its outer size, a control rebuilt in place, closed through the close
// query.
#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <utility>

#include "platform/platform.hpp"
#include "ui/control_model.hpp"
#include "ui/custom_widgets.hpp"
#include "ui/definition_check.hpp"

namespace trimbrel {
namespace {

std::unordered_map<WindowHandle, WindowWidget*>& WindowRegistry() {
  static std::unordered_map<WindowHandle, WindowWidget*> registry;
  return registry;
}

}  // namespace

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
  if (def.backColour != kDefaultColour) {
    QPalette p = palette();
    p.setColor(QPalette::Window, ColourFromValue(def.backColour));
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
  if (CheckDefinition(def_) != DefinitionFault::None) return false;
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
  }
  routeInput();
  for (auto& c : controls_) {
    if (c->stored.kind != Kind::Timer) continue;
    c->timer = new QTimer(this);
    Control* cp = c.get();
    connect(c->timer, &QTimer::timeout, this, [this, cp] { FireEvent(*this, *cp, {.event = TimerEvent::Tick}); });
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

  unwatch(*old);
  old->hide();
  old->setParent(nullptr);
  old->deleteLater();

  c.widget = fresh;
  fresh->setVisible(c.stored.visible);
  watch(c);
  if (dropTarget_.window != 0) {
    fresh->setAcceptDrops(false);
    for (QWidget* w : fresh->findChildren<QWidget*>()) w->setAcceptDrops(false);
  }
  if (hadFocus) fresh->setFocus(Qt::OtherFocusReason);
}

bool WindowWidget::closeByRequest() { return close(); }

void WindowWidget::closeEvent(QCloseEvent* event) {
  const auto result = FireEvent(*this, *self_, {.event = WindowEvent::CloseQuery});
  if (result && *result == 0) {
    event->ignore();
    return;
  }
  event->accept();
  // The window counts as gone once closed, although Qt deletes it later.
  for (auto& c : controls_) {
    if (c->timer) c->timer->stop();
  }
  unregister();
}

}  // namespace trimbrel
