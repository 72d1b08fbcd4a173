// Loading windows and the control operations beyond single properties.
#include <QListWidget>

#include <memory>

#include "ui/control_model.hpp"

namespace trimbrel {
namespace {

Control* Find(ControlRef ref) {
  WindowWidget* w = FindWindowWidget(ref.window);
  return w ? w->control(ref.id) : nullptr;
}

QListWidget* ListOf(ControlRef ref) {
  Control* c = Find(ref);
  if (!c || (c->stored.kind != Kind::ListBox && c->stored.kind != Kind::ChkListBox)) return nullptr;
  return qobject_cast<QListWidget*>(c->widget);
}

bool InRange(const QListWidget* list, std::int32_t index) {
  return list && index >= 0 && index < list->count();
}

}  // namespace

WindowHandle loadWindow(const WindowDef& def, WindowHandle owner) {
  QWidget* ownerWidget = nullptr;
  if (owner != 0) {
    ownerWidget = FindWindowWidget(owner);
    if (!ownerWidget) return 0;
  }
  auto* window = new WindowWidget(def, ownerWidget);
  if (!window->build()) {
    delete window;
    return 0;
  }
  const WindowHandle handle = window->handle();
  window->placeOnScreen();
  QPointer<WindowWidget> alive(window);
  FireEvent(*window, window->self(), {.event = WindowEvent::Created});
  if (alive && IsWindowLoaded(handle) && def.visible) {
    window->show();
    // The frame is known only once the window shows; the outer size is settled then.
    window->placeOnScreen();
  }
  return handle;
}

bool IsWindowLoaded(WindowHandle window) { return FindWindowWidget(window) != nullptr; }

bool RequestClose(WindowHandle window) {
  WindowWidget* w = FindWindowWidget(window);
  return w ? w->closeByRequest() : true;
}

QWidget* WidgetOfWindow(WindowHandle window) { return FindWindowWidget(window); }

std::vector<ControlEntry> listControls(WindowHandle window) {
  std::vector<ControlEntry> out;
  WindowWidget* w = FindWindowWidget(window);
  if (!w) return out;
  for (const auto& c : w->controls()) {
    if (!c->widget || !w->isAncestorOf(c->widget)) continue;
    out.push_back({ControlRef{window, c->stored.id}, c->stored.kind, c->nameGbk});
  }
  return out;
}

std::int32_t FindControl(WindowHandle window, std::string_view gbkName) {
  WindowWidget* w = FindWindowWidget(window);
  if (!w) return 0;
  for (const auto& c : w->controls()) {
    if (c->nameGbk == gbkName) return c->stored.id;
  }
  return 0;
}

std::string ControlName(ControlRef control) {
  Control* c = Find(control);
  return c ? c->nameGbk : std::string();
}

std::int32_t ItemCount(ControlRef control) {
  QListWidget* list = ListOf(control);
  return list ? list->count() : 0;
}

std::vector<std::int32_t> SelectedIndices(ControlRef control) {
  std::vector<std::int32_t> out;
  QListWidget* list = ListOf(control);
  if (!list) return out;
  if (list->selectionMode() == QAbstractItemView::SingleSelection) {
    if (list->currentRow() >= 0) out.push_back(list->currentRow());
    return out;
  }
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->isSelected()) out.push_back(i);
  }
  return out;
}

bool SelectItem(ControlRef control, std::int32_t index) {
  QListWidget* list = ListOf(control);
  if (!InRange(list, index)) return false;
  if (list->selectionMode() == QAbstractItemView::SingleSelection) {
    list->setCurrentRow(index);
  } else {
    list->item(index)->setSelected(true);
  }
  return true;
}

bool IsItemTicked(ControlRef control, std::int32_t index) {
  QListWidget* list = ListOf(control);
  if (!InRange(list, index) || Find(control)->stored.kind != Kind::ChkListBox) return false;
  return list->item(index)->checkState() == Qt::Checked;
}

bool TickItem(ControlRef control, std::int32_t index) {
  QListWidget* list = ListOf(control);
  if (!InRange(list, index) || Find(control)->stored.kind != Kind::ChkListBox) return false;
  list->item(index)->setCheckState(Qt::Checked);
  return true;
}

bool registerDropTarget(ControlRef dropTarget, WindowHandle window) {
  Control* target = Find(dropTarget);
  WindowWidget* w = FindWindowWidget(window);
  if (!target || !w || target->stored.kind != Kind::DropTarget) return false;
  if (target->dropRegistered || w->dropTarget().window != 0) return false;
  target->dropRegistered = true;
  w->setDropTarget(dropTarget);
  // Drops over any control belong to the window, as the controls here do not
  // take drops of their own (an edit box would otherwise swallow a path).
  w->setAcceptDrops(true);
  for (QWidget* child : w->findChildren<QWidget*>()) {
    if (child->window() == w) child->setAcceptDrops(false);
  }
  return true;
}

}  // namespace trimbrel
