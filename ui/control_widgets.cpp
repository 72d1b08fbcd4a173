// Turns a control's stored values into a widget of its kind, and copies back
// what the user changed so that a rebuilt widget starts where the old one was.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

#include "platform/platform.hpp"
#include "ui/control_model.hpp"
#include "ui/custom_widgets.hpp"
#include "ui/open_address.hpp"
#include "ui/qt_text.hpp"

namespace trimbrel {
namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string U(const QString& text) { return text.toStdString(); }

Qt::Alignment AlignmentOf(Align align) {
  switch (align) {
    case Align::Center: return Qt::AlignHCenter;
    case Align::Right: return Qt::AlignRight;
    case Align::Left: break;
  }
  return Qt::AlignLeft;
}

void ApplyColours(QWidget& widget, const ControlDef& def, QPalette::ColorRole text,
                 QPalette::ColorRole back) {
  QPalette palette = widget.palette();
  if (def.textColour != kDefaultColour) palette.setColor(text, ColourFromValue(def.textColour));
  if (def.backColour != kDefaultColour) {
    palette.setColor(back, ColourFromValue(def.backColour));
    widget.setAutoFillBackground(back == QPalette::Window);
  }
  widget.setPalette(palette);
}

// A disabled edit box takes the button face, as the system's do, so that it
// is plain at a glance that its value does not count; a white base colour
// chosen for the enabled box would hide that.
void ApplyEditColours(QWidget& widget, const ControlDef& def) {
  ApplyColours(widget, def, QPalette::Text, QPalette::Base);
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Disabled, QPalette::Base, palette.color(QPalette::Active, QPalette::Button));
  widget.setPalette(palette);
}

QListWidget* MakeList(const ControlDef& def, bool checkable) {
  auto* list = new QListWidget;
  for (const auto& item : def.items) {
    auto* row = new QListWidgetItem(Q(item), list);
    if (checkable) {
      row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
      row->setCheckState(Qt::Unchecked);
    }
  }
  const int count = list->count();
  if (checkable) {
    for (std::int32_t i : def.ticked) {
      if (i >= 0 && i < count) list->item(i)->setCheckState(Qt::Checked);
    }
  } else if (def.multiSelect) {
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  }
  const std::int32_t current = std::clamp(def.current, -1, count - 1);
  if (current >= 0) list->setCurrentRow(current);
  if (def.multiSelect && !checkable) {
    for (std::int32_t i : def.selected) {
      if (i >= 0 && i < count) list->item(i)->setSelected(true);
    }
  }
  return list;
}

}  // namespace

QFont FontFor(const std::optional<FontDef>& font, const QFont& fallback) {
  QFont f = fallback;
  if (!font) return f;
  if (!font->face.empty()) {
    QStringList families{Q(font->face)};
    // The classic Chinese serif face is rarely installed on Linux: ask for it
    // under both names first, then for the CJK fonts that usually are.
    if (font->face == "宋体" || font->face == "SimSun") {
      families = {QStringLiteral("SimSun"), QStringLiteral("宋体"),
                  QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")};
    }
    f.setFamilies(families);
  }
  if (font->pixelHeight > 0) f.setPixelSize(font->pixelHeight);
  f.setBold(font->bold);
  f.setItalic(font->italic);
  f.setUnderline(font->underline);
  f.setStrikeOut(font->strikeOut);
  return f;
}

Bytes PointerBytes(Pointer pointer) {
  if (pointer == Pointer::Default) return {};
  const auto v = static_cast<std::uint32_t>(pointer);
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

void ApplyPointer(QWidget& widget, const Bytes& pointer) {
  if (pointer.size() != 4) {
    widget.unsetCursor();
    return;
  }
  const std::uint32_t code = LoadLe32(pointer.data());
  switch (static_cast<Pointer>(code)) {
    case Pointer::Arrow: widget.setCursor(Qt::ArrowCursor); break;
    case Pointer::IBeam: widget.setCursor(Qt::IBeamCursor); break;
    case Pointer::Wait: widget.setCursor(Qt::WaitCursor); break;
    case Pointer::Cross: widget.setCursor(Qt::CrossCursor); break;
    case Pointer::Hand: widget.setCursor(Qt::PointingHandCursor); break;
    case Pointer::SizeAll: widget.setCursor(Qt::SizeAllCursor); break;
    case Pointer::Forbidden: widget.setCursor(Qt::ForbiddenCursor); break;
    default: widget.unsetCursor(); break;
  }
}

bool TakesFocus(Kind kind) {
  switch (kind) {
    case Kind::EditBox:
    case Kind::Button:
    case Kind::ComboBox:
    case Kind::CheckBox:
    case Kind::RadioBox:
    case Kind::ListBox:
    case Kind::ChkListBox:
    case Kind::ColorPicker:
      return true;
    default:
      return false;
  }
}

QWidget* CreateControlWidget(WindowWidget& window, Control& c) {
  const ControlDef& d = c.stored;
  Control* cp = &c;
  WindowWidget* wp = &window;
  auto fire = [wp, cp](EventCode event) { FireEvent(*wp, *cp, {.event = event}); };
  QWidget* widget = nullptr;

  switch (d.kind) {
    case Kind::EditBox:
      if (d.multiLine) {
        auto* edit = new QPlainTextEdit;
        edit->setPlainText(WithLf(Q(d.text)));
        edit->setReadOnly(d.readOnly);
        edit->setTabChangesFocus(true);
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        if (!d.scrollBars) {
          edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
          edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        }
        if (d.border == Border::None) edit->setFrameShape(QFrame::NoFrame);
        ApplyEditColours(*edit, d);
        QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [fire] { fire(EditEvent::Changed); });
        widget = edit;
      } else {
        auto* edit = new QLineEdit;
        edit->setText(Q(d.text));
        edit->setReadOnly(d.readOnly);
        edit->setAlignment(AlignmentOf(d.align) | Qt::AlignVCenter);
        edit->setFrame(d.border != Border::None);
        ApplyEditColours(*edit, d);
        QObject::connect(edit, &QLineEdit::textChanged, edit, [fire] { fire(EditEvent::Changed); });
        widget = edit;
      }
      break;
    case Kind::Button: {
      auto* button = d.multiLine ? new WrappingButton(Q(d.text)) : new QPushButton(Q(d.text));
      button->setAutoDefault(false);
      QObject::connect(button, &QPushButton::clicked, button, [fire] { fire(ButtonEvent::Clicked); });
      widget = button;
      break;
    }
    case Kind::ComboBox: {
      auto* combo = new QComboBox;
      combo->setEditable(d.editable);
      for (const auto& item : d.items) combo->addItem(Q(item));
      combo->setCurrentIndex(std::clamp(d.current, -1, combo->count() - 1));
      if (d.editable) {
        combo->setEditText(Q(d.text));
        QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, combo,
                         [fire] { fire(ComboEvent::EditTextChanged); });
      }
      ApplyColours(*combo, d, QPalette::Text, QPalette::Base);
      QObject::connect(combo, &QComboBox::activated, combo, [fire] { fire(ComboEvent::ItemChosen); });
      widget = combo;
      break;
    }
    case Kind::Label: {
      auto* label = new QLabel(Q(d.text));
      label->setAlignment(AlignmentOf(d.align) | Qt::AlignVCenter);
      if (d.border == Border::StaticEdge) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      if (d.border == Border::Sunken) label->setFrameStyle(QFrame::Box | QFrame::Sunken);
      ApplyColours(*label, d, QPalette::WindowText, QPalette::Window);
      widget = label;
      break;
    }
    case Kind::PicBox: {
      auto* box = new PictureBox;
      box->setPicture(PixmapFromBytes(d.picture));
      if (d.backColour != kDefaultColour) box->setBackground(ColourFromValue(d.backColour));
      widget = box;
      break;
    }
    case Kind::PicBtn: {
      auto* button = new PictureButton;
      button->setPicture(PictureButton::Normal, PixmapFromBytes(d.picture));
      button->setPicture(PictureButton::Hover, PixmapFromBytes(d.hoverPicture));
      button->setPicture(PictureButton::Pressed, PixmapFromBytes(d.pressedPicture));
      button->setPicture(PictureButton::Disabled, PixmapFromBytes(d.disabledPicture));
      button->onClicked = [fire] { fire(ButtonEvent::Clicked); };
      widget = button;
      break;
    }
    case Kind::HyperLinker: {
      auto* link = new LinkLabel;
      link->setText(Q(d.text));
      link->setAlignment(AlignmentOf(d.align) | Qt::AlignVCenter);
      auto colour = [](std::uint32_t v) { return v == kDefaultColour ? QColor() : ColourFromValue(v); };
      link->setColours(colour(d.textColour), colour(d.visitedColour), colour(d.hoverColour));
      link->setBackground(colour(d.backColour));
      link->onPressed = [cp, link] {
        const ControlDef& s = cp->stored;
        const std::string address = s.linkType != 0 ? s.address : "mailto:" + s.email;
        if (s.linkType != 0 ? s.address.empty() : s.email.empty()) return;
        if (OpenAddress(Utf8ToGbk(address))) link->setVisited(true);
      };
      widget = link;
      break;
    }
    case Kind::DrawPanel: {
      auto* panel = new DrawPanelWidget;
      QPalette palette = panel->palette();
      palette.setColor(QPalette::Window, d.backColour == kDefaultColour
                                             ? palette.color(QPalette::Button)
                                             : ColourFromValue(d.backColour));
      panel->setPalette(palette);
      panel->setAutoFillBackground(true);
      widget = panel;
      break;
    }
    case Kind::CheckBox:
    case Kind::RadioBox: {
      QAbstractButton* box = d.kind == Kind::CheckBox ? static_cast<QAbstractButton*>(new QCheckBox)
                                                      : new QRadioButton;
      box->setText(Q(d.text));
      box->setChecked(d.checked);
      ApplyColours(*box, d, QPalette::WindowText, QPalette::Window);
      QObject::connect(box, &QAbstractButton::clicked, box, [fire] { fire(ButtonEvent::Clicked); });
      widget = box;
      break;
    }
    case Kind::ListBox:
      widget = MakeList(d, false);
      break;
    case Kind::ChkListBox:
      widget = MakeList(d, true);
      break;
    case Kind::ColorPicker: {
      auto* swatch = new ColourSwatch;
      swatch->setColour(d.colour);
      widget = swatch;
      break;
    }
    case Kind::window:
    case Kind::Timer:
    case Kind::Client:
    case Kind::DropTarget:
      return nullptr;
  }
  if (d.font) widget->setFont(FontFor(d.font, window.font()));
  ApplyPointer(*widget, c.pointerBytes);
  widget->setFocusPolicy(TakesFocus(d.kind) ? (d.tabStop ? Qt::StrongFocus : Qt::ClickFocus)
                                            : Qt::NoFocus);
  return widget;
}

void CaptureLiveState(Control& c) {
  QWidget* w = c.widget;
  if (!w) return;
  ControlDef& d = c.stored;
  d.left = w->x();
  d.top = w->y();
  d.width = w->width();
  d.height = w->height();
  d.visible = !w->isHidden();
  d.disabled = w->testAttribute(Qt::WA_ForceDisabled);
  switch (d.kind) {
    case Kind::EditBox:
      if (auto* e = qobject_cast<QPlainTextEdit*>(w)) d.text = U(WithCrLf(e->toPlainText()));
      if (auto* e = qobject_cast<QLineEdit*>(w)) d.text = U(e->text());
      break;
    case Kind::ComboBox: {
      auto* combo = static_cast<QComboBox*>(w);
      d.current = combo->currentIndex();
      if (combo->isEditable()) d.text = U(combo->currentText());
      break;
    }
    case Kind::ListBox:
    case Kind::ChkListBox: {
      auto* list = static_cast<QListWidget*>(w);
      d.current = list->currentRow();
      d.selected.clear();
      d.ticked.clear();
      for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected()) d.selected.push_back(i);
        if (d.kind == Kind::ChkListBox && list->item(i)->checkState() == Qt::Checked) {
          d.ticked.push_back(i);
        }
      }
      break;
    }
    case Kind::CheckBox:
    case Kind::RadioBox:
      d.checked = static_cast<QAbstractButton*>(w)->isChecked();
      break;
    case Kind::ColorPicker:
      d.colour = static_cast<ColourSwatch*>(w)->colour();
      break;
    default:
      break;
  }
}

}  // namespace trimbrel
