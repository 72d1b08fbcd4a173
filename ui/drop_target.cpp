// The drop target: which drags it takes, with which effect, and the one text
// event an accepted drop becomes. A window hands every drag over it to the
// drop target registered on it.
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

#include <utility>

#include "ui/control_model.hpp"
#include "ui/qt_text.hpp"

namespace trimbrel {

OfferedFormats Offered(const QMimeData& data) {
  OfferedFormats offered;
  // QMimeData::hasText() also answers true for a bare URL list; only real
  // text counts here, or every file drag would look like a text drag.
  for (const QString& format : data.formats()) {
    if (format == u"text/plain" || format.startsWith(u"text/plain;")) offered.text = true;
  }
  offered.html = data.hasHtml();
  if (data.hasUrls()) {
    const QList<QUrl> urls = data.urls();
    offered.files = urls.isEmpty();  // an empty file list is still a file list
    for (const QUrl& url : urls) {
      if (url.isLocalFile()) {
        offered.files = true;
      } else {
        offered.address = true;
      }
    }
  }
  return offered;
}

bool DropAccepted(const ControlDef& s, const OfferedFormats& offered) {
  return (s.acceptText && offered.text) || (s.acceptFiles && offered.files) ||
         (s.acceptAddress && offered.address) || (s.acceptHtml && offered.html);
}

Qt::DropAction DropEffect(bool accepted, Qt::KeyboardModifiers keys, Qt::DropActions allowed) {
  if (!accepted) return Qt::IgnoreAction;
  const bool ctrl = keys & Qt::ControlModifier;
  const bool shift = keys & Qt::ShiftModifier;
  // Both keys ask for a link, which this target never makes.
  if (ctrl && shift) return Qt::IgnoreAction;
  if (ctrl) return allowed & Qt::CopyAction ? Qt::CopyAction : Qt::IgnoreAction;
  if (shift) return allowed & Qt::MoveAction ? Qt::MoveAction : Qt::IgnoreAction;
  if (allowed & Qt::CopyAction) return Qt::CopyAction;
  if (allowed & Qt::MoveAction) return Qt::MoveAction;
  if (allowed & Qt::LinkAction) return Qt::LinkAction;
  return Qt::IgnoreAction;
}

std::string FilesDropText(const QMimeData& data) {
  std::vector<QByteArray> paths;
  for (const QUrl& url : data.urls()) {
    if (!url.isLocalFile()) continue;
    QString path = url.toLocalFile();
    // A folder may come as "dir/"; it is delivered like a file, without it.
    while (path.size() > 1 && path.endsWith(u'/')) path.chop(1);
    paths.push_back(QFile::encodeName(path));
  }
  std::string text;
  if (paths.size() == 1) return paths.front().toStdString();
  for (const QByteArray& path : paths) {
    text.append(path.constData(), static_cast<std::size_t>(path.size()));
    text.append("\r\n");
  }
  return text;
}

void HandleDragEnter(WindowWidget&, Control& target, QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  target.dragAccepted = data && DropAccepted(target.stored, Offered(*data));
  const Qt::DropAction effect = DropEffect(target.dragAccepted, event->modifiers(), event->possibleActions());
  event->setDropAction(effect);
  event->setAccepted(effect != Qt::IgnoreAction);
}

void HandleDragMove(WindowWidget&, Control& target, QDragMoveEvent* event) {
  const Qt::DropAction effect = DropEffect(target.dragAccepted, event->modifiers(), event->possibleActions());
  event->setDropAction(effect);
  event->setAccepted(effect != Qt::IgnoreAction);
}

void HandleDragLeave(Control& target) { target.dragAccepted = false; }

void HandleDrop(WindowWidget& window, Control& target, QDropEvent* event) {
  target.dragAccepted = false;
  const QMimeData* data = event->mimeData();
  // Whatever is delivered, the source hears of a failed drop, so a source
  // that moves never deletes its files.
  event->setDropAction(Qt::IgnoreAction);
  event->ignore();
  if (!data) return;
  const OfferedFormats offered = Offered(*data);
  const bool accepted = DropAccepted(target.stored, offered);
  if (DropEffect(accepted, event->modifiers(), event->possibleActions()) == Qt::IgnoreAction) return;

  QPointer<WindowWidget> alive(&window);
  auto deliver = [&](DropEvent event, std::string text) {
    if (!alive) return false;
    const auto result = FireEvent(window, target, {.event = event, .text = std::move(text)});
    return !(result && *result == 0);
  };
  const ControlDef& s = target.stored;
  if (s.acceptText && offered.text && !offered.html) {
    if (!deliver(DropEvent::TextDropped, ToGbk(data->text()))) return;
  }
  if (s.acceptHtml && offered.html) {
    QString html = data->html();
    html.replace(QChar(0x00A0), u' ');
    if (!deliver(DropEvent::HtmlDropped, ToGbk(html))) return;
  }
  if (s.acceptAddress && offered.address) {
    QString address;
    for (const QUrl& url : data->urls()) {
      if (!url.isLocalFile()) {
        address = url.toString();
        break;
      }
    }
    if (!deliver(DropEvent::AddressDropped, ToGbk(address))) return;
  }
  if (s.acceptFiles && offered.files) deliver(DropEvent::FilesDropped, FilesDropText(*data));
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
  if (auto [owner, target] = DropTargetOf(dropTarget_); target) {
    HandleDragEnter(*owner, *target, event);
  } else {
    event->ignore();
  }
}

void WindowWidget::dragMoveEvent(QDragMoveEvent* event) {
  if (auto [owner, target] = DropTargetOf(dropTarget_); target) {
    HandleDragMove(*owner, *target, event);
  } else {
    event->ignore();
  }
}

void WindowWidget::dragLeaveEvent(QDragLeaveEvent*) {
  if (auto [owner, target] = DropTargetOf(dropTarget_); target) HandleDragLeave(*target);
}

void WindowWidget::dropEvent(QDropEvent* event) {
  if (auto [owner, target] = DropTargetOf(dropTarget_); target) {
    HandleDrop(*owner, *target, event);
  } else {
    event->ignore();
  }
}

}  // namespace trimbrel
