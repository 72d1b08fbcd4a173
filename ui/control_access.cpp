// Loading windows and the control operations beyond single properties.
#include <QDesktopServices>
#include <QListWidget>
#include <QProcess>
#include <QUrl>

#include <cstdlib>
#include <memory>

#include "ui/control_model.hpp"
#include "ui/qt_text.hpp"

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

// $BROWSER may list several browsers separated by ":", each a command line
// where "%s" stands for the address.
bool StartBrowser(const QString& address) {
  const QString browsers = qEnvironmentVariable("BROWSER");
  for (const QString& entry : browsers.split(u':', Qt::SkipEmptyParts)) {
    QStringList args = QProcess::splitCommand(entry);
    if (args.isEmpty()) continue;
    bool placed = false;
    for (QString& arg : args) {
      if (arg.contains(QStringLiteral("%s"))) {
        arg.replace(QStringLiteral("%s"), address);
        placed = true;
      }
    }
    if (!placed) args.append(address);
    const QString program = args.takeFirst();
    if (QProcess::startDetached(program, args)) return true;
  }
  return false;
}

namespace {

bool DefaultOpener(const std::string& utf8Address) {
  const QString address = QString::fromStdString(utf8Address);
  const QUrl url(address, QUrl::TolerantMode);
  if (url.isValid() && QDesktopServices::openUrl(url)) return true;
  return StartBrowser(address);
}

AddressOpener& Opener() {
  static AddressOpener opener = DefaultOpener;
  return opener;
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
  FireEvent(*window, window->self(), {{}, event::kCreated});
  if (alive && isWindowLoaded(handle) && def.visible) {
    window->show();
    // The frame is known only once shown; settle the outer size now.
    window->placeOnScreen();
  }
  return handle;
}

bool isWindowLoaded(WindowHandle window) { return FindWindowWidget(window) != nullptr; }

bool requestClose(WindowHandle window) {
  WindowWidget* w = FindWindowWidget(window);
  return w ? w->closeByRequest() : true;
}

QWidget* windowWidget(WindowHandle window) { return FindWindowWidget(window); }

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

std::int32_t findControl(WindowHandle window, std::string_view gbkName) {
  WindowWidget* w = FindWindowWidget(window);
  if (!w) return 0;
  for (const auto& c : w->controls()) {
    if (c->nameGbk == gbkName) return c->stored.id;
  }
  return 0;
}

std::string controlName(ControlRef control) {
  Control* c = Find(control);
  return c ? c->nameGbk : std::string();
}

std::int32_t itemCount(ControlRef control) {
  QListWidget* list = ListOf(control);
  return list ? list->count() : 0;
}

std::vector<std::int32_t> selectedIndices(ControlRef control) {
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

bool selectItem(ControlRef control, std::int32_t index) {
  QListWidget* list = ListOf(control);
  if (!InRange(list, index)) return false;
  if (list->selectionMode() == QAbstractItemView::SingleSelection) {
    list->setCurrentRow(index);
  } else {
    list->item(index)->setSelected(true);
  }
  return true;
}

bool isItemTicked(ControlRef control, std::int32_t index) {
  QListWidget* list = ListOf(control);
  if (!InRange(list, index) || Find(control)->stored.kind != Kind::ChkListBox) return false;
  return list->item(index)->checkState() == Qt::Checked;
}

bool tickItem(ControlRef control, std::int32_t index) {
  QListWidget* list = ListOf(control);
  if (!InRange(list, index) || Find(control)->stored.kind != Kind::ChkListBox) return false;
  list->item(index)->setCheckState(Qt::Checked);
  return true;
}

bool registerDropTarget(ControlRef dropTarget, WindowHandle window) {
  Control* target = Find(dropTarget);
  WindowWidget* w = FindWindowWidget(window);
  if (!target || !w || target->stored.kind != Kind::DropTarget) return false;
  if (target->dropRegistered || w->dropTarget.window != 0) return false;
  target->dropRegistered = true;
  w->dropTarget = dropTarget;
  // Drops over any control belong to the window, as the controls here do not
  // take drops of their own (an edit box would otherwise swallow a path).
  w->setAcceptDrops(true);
  for (QWidget* child : w->findChildren<QWidget*>()) {
    if (child->window() == w) child->setAcceptDrops(false);
  }
  return true;
}

bool OpenAddress(std::string_view gbkAddress) {
  if (gbkAddress.empty()) return false;
  const std::string utf8 = FromGbk(gbkAddress).toStdString();
  return Opener()(utf8);
}

void setAddressOpener(AddressOpener opener) {
  Opener() = opener ? std::move(opener) : AddressOpener(DefaultOpener);
}

}  // namespace trimbrel
