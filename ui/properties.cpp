// readProperty and writeProperty: the numbered properties of every kind, with
// their conversions and limits.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

#include "platform/platform.hpp"
#include "ui/control_model.hpp"
#include "ui/custom_widgets.hpp"
#include "ui/item_list.hpp"
#include "ui/qt_text.hpp"

namespace trimbrel {
namespace {

// Positions stop short of the 16-bit edge.
constexpr std::int32_t kMaxCoordinate = 32627;

std::optional<std::int32_t> AsInt(const Value& v) {
  if (auto* i = std::get_if<std::int32_t>(&v)) return *i;
  return std::nullopt;
}

// No text is taken as empty; a number where text belongs is ignored.
std::optional<std::string> AsText(const Value& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* b = std::get_if<Bytes>(&v)) return std::string(b->begin(), b->end());
  if (std::holds_alternative<std::monostate>(v)) return std::string();
  return std::nullopt;
}

std::optional<Bytes> AsBytes(const Value& v) {
  if (auto* b = std::get_if<Bytes>(&v)) return *b;
  if (auto* s = std::get_if<std::string>(&v)) return Bytes(s->begin(), s->end());
  return std::nullopt;
}

std::string Gbk(const std::string& utf8) { return Utf8ToGbk(utf8); }
std::string Utf8(const std::string& gbk) { return GbkToUtf8(gbk); }

std::vector<std::string> ItemsGbk(const std::vector<std::string>& utf8Items) {
  std::vector<std::string> out;
  out.reserve(utf8Items.size());
  for (const auto& item : utf8Items) out.push_back(Gbk(item));
  return out;
}

Control& Resolve(WindowHandle window, std::int32_t id) {
  WindowWidget* w = FindWindowWidget(window);
  if (!w) FatalControlError("未载入欲访问窗口组件所在的窗口");
  Control* c = w->control(id);
  if (!c) FatalControlError("指定窗口尚未载入");
  return *c;
}

bool IsTopLevel(const Control& c) { return c.stored.kind == Kind::window; }

Value ReadCommon(Control& c, int number) {
  QWidget* w = c.widget;
  const ControlDef& s = c.stored;
  const bool top = IsTopLevel(c);
  switch (number) {
    case prop::kLeft: return w ? (top ? w->frameGeometry().x() : w->x()) : s.left;
    case prop::kTop: return w ? (top ? w->frameGeometry().y() : w->y()) : s.top;
    case prop::kWidth: return w ? (top ? w->frameGeometry().width() : w->width()) : s.width;
    case prop::kHeight: return w ? (top ? w->frameGeometry().height() : w->height()) : s.height;
    case prop::kTag: return c.tagGbk;
    case prop::kVisible:
      if (!w) return std::int32_t{s.visible};
      return std::int32_t{top ? w->isVisible() : w->isVisibleTo(w->window())};
    case prop::kDisabled:
      return std::int32_t{w ? w->testAttribute(Qt::WA_ForceDisabled) : s.disabled};
    case prop::kMousePointer: return c.pointerBytes;
    default: return {};
  }
}

void ResizeOuter(QWidget& w, int width, int height) {
  const QRect frame = w.frameGeometry();
  const QSize client(std::max(0, width - (frame.width() - w.width())),
                     std::max(0, height - (frame.height() - w.height())));
  if (w.minimumSize() == w.maximumSize()) {
    w.setFixedSize(client);
  } else {
    w.resize(client);
  }
}

void WriteCommon(Control& c, int number, const Value& value) {
  QWidget* w = c.widget;
  ControlDef& s = c.stored;
  const bool top = IsTopLevel(c);
  const auto n = AsInt(value);
  switch (number) {
    case prop::kLeft:
    case prop::kTop: {
      if (!n) return;
      const std::int32_t v = std::clamp(*n, -kMaxCoordinate, kMaxCoordinate);
      (number == prop::kLeft ? s.left : s.top) = v;
      if (w) {
        const QPoint at = top ? w->frameGeometry().topLeft() : w->pos();
        w->move(number == prop::kLeft ? QPoint(v, at.y()) : QPoint(at.x(), v));
      }
      return;
    }
    case prop::kWidth:
    case prop::kHeight: {
      if (!n) return;
      const std::int32_t v = std::clamp(*n, 0, kMaxCoordinate);
      (number == prop::kWidth ? s.width : s.height) = v;
      if (!w) return;
      const QSize now = top ? w->frameGeometry().size() : w->size();
      const QSize want = number == prop::kWidth ? QSize(v, now.height()) : QSize(now.width(), v);
      if (top) {
        ResizeOuter(*w, want.width(), want.height());
      } else {
        w->resize(want);
      }
      return;
    }
    case prop::kTag:
      if (auto text = AsText(value)) c.tagGbk = *text;
      return;
    case prop::kVisible:
      if (!n) return;
      s.visible = *n != 0;
      if (w) w->setVisible(s.visible);
      return;
    case prop::kDisabled:
      if (!n) return;
      s.disabled = *n != 0;
      if (w) w->setEnabled(!s.disabled);
      return;
    case prop::kMousePointer: {
      auto bytes = AsBytes(value);
      if (!bytes) return;
      c.pointerBytes = *bytes;
      if (w) ApplyPointer(*w, c.pointerBytes);
      return;
    }
    default:
      return;
  }
}

Value ReadKind(Control& c, int number) {
  QWidget* w = c.widget;
  const ControlDef& s = c.stored;
  switch (s.kind) {
    case Kind::EditBox:
      if (number != prop::kEditContent) break;
      if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return ToGbk(WithCrLf(e->toPlainText()));
      if (auto* e = qobject_cast<QLineEdit*>(w)) return ToGbk(e->text());
      return Gbk(s.text);
    case Kind::Button:
      if (number != prop::kButtonCaption) break;
      if (auto* b = qobject_cast<QPushButton*>(w)) return ToGbk(b->text());
      return Gbk(s.text);
    case Kind::ComboBox: {
      auto* combo = qobject_cast<QComboBox*>(w);
      if (number == prop::kComboCurrent) return combo ? combo->currentIndex() : s.current;
      if (number == prop::kComboEditText) {
        return combo && combo->isEditable() ? ToGbk(combo->currentText()) : Gbk(s.text);
      }
      if (number == prop::kComboItems) {
        if (!combo) return EncodeItemList(ItemsGbk(s.items));
        std::vector<std::string> items;
        for (int i = 0; i < combo->count(); ++i) items.push_back(ToGbk(combo->itemText(i)));
        return EncodeItemList(items);
      }
      break;
    }
    case Kind::HyperLinker:
      if (number == prop::kLinkType) return s.linkType;
      if (number == prop::kLinkEmail) return Gbk(s.email);
      if (number == prop::kLinkAddress) return Gbk(s.address);
      break;
    case Kind::Timer:
      if (number == prop::kTimerInterval) return s.interval;
      break;
    case Kind::CheckBox:
    case Kind::RadioBox:
      if (number != prop::kChecked) break;
      if (auto* b = qobject_cast<QAbstractButton*>(w)) return std::int32_t{b->isChecked()};
      return std::int32_t{s.checked};
    case Kind::ListBox:
    case Kind::ChkListBox: {
      const int itemsNumber = s.kind == Kind::ListBox ? prop::kListItems : prop::kChkListItems;
      auto* list = qobject_cast<QListWidget*>(w);
      if (number == itemsNumber) {
        if (!list) return EncodeItemList(ItemsGbk(s.items));
        std::vector<std::string> items;
        for (int i = 0; i < list->count(); ++i) items.push_back(ToGbk(list->item(i)->text()));
        return EncodeItemList(items);
      }
      if (s.kind == Kind::ChkListBox && number == prop::kChkListCurrent) {
        return list ? list->currentRow() : s.current;
      }
      break;
    }
    case Kind::ColorPicker:
      if (number != prop::kPickerColour) break;
      if (auto* swatch = qobject_cast<ColourSwatch*>(w)) return static_cast<std::int32_t>(swatch->colour());
      return static_cast<std::int32_t>(s.colour);
    case Kind::DropTarget:
      if (number == prop::kDropText) return std::int32_t{s.acceptText};
      if (number == prop::kDropHtml) return std::int32_t{s.acceptHtml};
      if (number == prop::kDropAddress) return std::int32_t{s.acceptAddress};
      if (number == prop::kDropFiles) return std::int32_t{s.acceptFiles};
      break;
    default:
      break;
  }
  return {};
}

void WriteTimerInterval(Control& c, std::int32_t value) {
  const std::int32_t v = std::max(0, value);
  if (v == c.stored.interval) return;
  c.stored.interval = v;
  if (!c.timer) return;
  c.timer->stop();
  if (v > 0) c.timer->start(v);
}

// Replaces a list's items. The widget is built anew, as for every property a
// live control cannot take, keeping its place, state and focus.
void WriteItems(WindowWidget& window, Control& c, const Value& value) {
  auto bytes = AsBytes(value);
  if (!bytes) return;
  auto items = DecodeItemList(*bytes);
  if (!items) return;
  if (c.widget) CaptureLiveState(c);
  c.stored.items.clear();
  for (const auto& item : *items) c.stored.items.push_back(Utf8(item));
  const auto count = static_cast<std::int32_t>(c.stored.items.size());
  c.stored.current = std::clamp(c.stored.current, -1, count - 1);
  if (c.widget) window.rebuild(c);
}

void WriteKind(WindowWidget& window, Control& c, int number, const Value& value) {
  QWidget* w = c.widget;
  ControlDef& s = c.stored;
  const auto n = AsInt(value);
  const auto text = AsText(value);
  switch (s.kind) {
    case Kind::EditBox:
      if (number != prop::kEditContent || !text) return;
      s.text = Utf8(*text);
      if (auto* e = qobject_cast<QPlainTextEdit*>(w)) e->setPlainText(WithLf(FromGbk(*text)));
      if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(FromGbk(*text));
      return;
    case Kind::Button:
      if (number != prop::kButtonCaption || !text) return;
      s.text = Utf8(*text);
      if (auto* b = qobject_cast<QPushButton*>(w)) {
        b->setText(FromGbk(*text));
        b->repaint();  // at once: a batch run shows its progress without an event loop
      }
      return;
    case Kind::ComboBox: {
      auto* combo = qobject_cast<QComboBox*>(w);
      if (number == prop::kComboCurrent && n) {
        const std::int32_t count = combo ? combo->count() : static_cast<std::int32_t>(s.items.size());
        s.current = std::clamp(*n, -1, count - 1);
        if (combo) combo->setCurrentIndex(s.current);  // setCurrentIndex raises no item-chosen
      } else if (number == prop::kComboEditText && text) {
        s.text = Utf8(*text);
        if (combo && combo->isEditable()) combo->setEditText(FromGbk(*text));
      } else if (number == prop::kComboItems) {
        WriteItems(window, c, value);
      }
      return;
    }
    case Kind::HyperLinker:
      if (number == prop::kLinkType && n) s.linkType = std::max(0, *n);
      if (number == prop::kLinkEmail && text) s.email = Utf8(*text);
      if (number == prop::kLinkAddress && text) s.address = Utf8(*text);
      return;
    case Kind::Timer:
      if (number == prop::kTimerInterval && n) WriteTimerInterval(c, *n);
      return;
    case Kind::CheckBox:
    case Kind::RadioBox:
      if (number != prop::kChecked || !n) return;
      s.checked = *n != 0;
      if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        // Qt refuses to uncheck the checked button of an auto-exclusive
        // group; the property may leave a group with none selected.
        const bool exclusive = b->autoExclusive();
        if (!s.checked) b->setAutoExclusive(false);
        b->setChecked(s.checked);
        b->setAutoExclusive(exclusive);
      }
      return;
    case Kind::ListBox:
    case Kind::ChkListBox: {
      const int itemsNumber = s.kind == Kind::ListBox ? prop::kListItems : prop::kChkListItems;
      if (number == itemsNumber) {
        WriteItems(window, c, value);
      } else if (s.kind == Kind::ChkListBox && number == prop::kChkListCurrent && n) {
        auto* list = qobject_cast<QListWidget*>(w);
        const std::int32_t count = list ? list->count() : static_cast<std::int32_t>(s.items.size());
        s.current = std::clamp(*n, -1, count - 1);
        if (list) list->setCurrentRow(s.current);
      }
      return;
    }
    case Kind::ColorPicker:
      if (number != prop::kPickerColour || !n) return;
      s.colour = static_cast<std::uint32_t>(*n);
      if (auto* swatch = qobject_cast<ColourSwatch*>(w)) swatch->setColour(s.colour);
      return;
    case Kind::DropTarget:
      if (!n) return;
      if (number == prop::kDropText) s.acceptText = *n != 0;
      if (number == prop::kDropHtml) s.acceptHtml = *n != 0;
      if (number == prop::kDropAddress) s.acceptAddress = *n != 0;
      if (number == prop::kDropFiles) s.acceptFiles = *n != 0;
      return;
    default:
      return;
  }
}

}  // namespace

Value readProperty(WindowHandle window, std::int32_t control, int number) {
  Control& c = Resolve(window, control);
  return number >= 0 && number <= prop::kMousePointer ? ReadCommon(c, number) : ReadKind(c, number);
}

void writeProperty(WindowHandle window, std::int32_t control, int number, const Value& value) {
  Control& c = Resolve(window, control);
  if (number >= 0 && number <= prop::kMousePointer) {
    WriteCommon(c, number, value);
  } else {
    WriteKind(*FindWindowWidget(window), c, number, value);
  }
}

std::int32_t ReadInt(WindowHandle window, std::int32_t control, int number) {
  const Value v = readProperty(window, control, number);
  auto* i = std::get_if<std::int32_t>(&v);
  return i ? *i : 0;
}

std::string ReadText(WindowHandle window, std::int32_t control, int number) {
  Value v = readProperty(window, control, number);
  auto* s = std::get_if<std::string>(&v);
  return s ? std::move(*s) : std::string();
}

Bytes ReadBytes(WindowHandle window, std::int32_t control, int number) {
  Value v = readProperty(window, control, number);
  auto* b = std::get_if<Bytes>(&v);
  return b ? std::move(*b) : Bytes();
}

}  // namespace trimbrel
