#include "ui/custom_widgets.hpp"

#include <QColorDialog>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace trimbrel {

QPixmap PixmapFromBytes(const Bytes& bytes) {
  QPixmap pixmap;
  if (!bytes.empty()) {
    pixmap.loadFromData(bytes.data(), static_cast<uint>(bytes.size()));
  }
  return pixmap;
}

QColor ColourFromValue(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

std::uint32_t ValueFromColour(const QColor& colour) {
  return static_cast<std::uint32_t>(colour.red()) | (static_cast<std::uint32_t>(colour.green()) << 8) |
         (static_cast<std::uint32_t>(colour.blue()) << 16);
}

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

void PictureBox::setPicture(const QPixmap& picture) {
  picture_ = picture;
  update();
}

void PictureBox::setBackground(const QColor& colour) {
  background_ = colour;
  update();
}

QRect PictureBox::FitRect(QSize picture, QSize box) {
  if (picture.isEmpty() || box.isEmpty()) return {};
  int w = picture.width();
  int h = picture.height();
  if (w > box.width() || h > box.height()) {
    const double s = std::min(double(box.width()) / w, double(box.height()) / h);
    w = static_cast<int>(w * s);
    h = static_cast<int>(h * s);
  }
  return QRect((box.width() - w) / 2, (box.height() - h) / 2, w, h);
}

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (background_.isValid()) painter.fillRect(rect(), background_);
  if (!picture_.isNull()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(FitRect(picture_.size(), size()), picture_);
  }
}

void HoverWidget::setHovered(bool hovered) {
  if (hovered == hovered_) return;
  hovered_ = hovered;
  update();
}

void HoverWidget::enterEvent(QEnterEvent*) { setHovered(true); }

void HoverWidget::leaveEvent(QEvent*) { setHovered(false); }

PictureButton::PictureButton(QWidget* parent) : HoverWidget(parent) {
  setMouseTracking(true);
}

void PictureButton::setPicture(State state, const QPixmap& picture) {
  pictures_[state] = picture;
  update();
}

PictureButton::State PictureButton::state() const {
  if (!isEnabled()) return Disabled;
  if (hovered() && leftHeld_) return Pressed;
  if (hovered()) return Hover;
  return Normal;
}

void PictureButton::paintEvent(QPaintEvent*) {
  const QPixmap& chosen = pictures_[state()];
  const QPixmap& shown = chosen.isNull() ? pictures_[Normal] : chosen;
  if (shown.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, shown);
}

void PictureButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    leftHeld_ = true;
    setHovered(rect().contains(event->position().toPoint()));
    update();
  }
  event->accept();
}

void PictureButton::mouseMoveEvent(QMouseEvent* event) {
  setHovered(rect().contains(event->position().toPoint()));
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const bool clicked = leftHeld_ && isEnabled() && rect().contains(event->position().toPoint());
  leftHeld_ = false;
  update();
  if (clicked && onClicked) onClicked();
}

LinkLabel::LinkLabel(QWidget* parent) : HoverWidget(parent) {}

void LinkLabel::setText(const QString& text) {
  text_ = text;
  update();
}

void LinkLabel::setColours(const QColor& normal, const QColor& visited, const QColor& hover) {
  normal_ = normal;
  visitedColour_ = visited;
  hoverColour_ = hover;
  update();
}

void LinkLabel::setBackground(const QColor& colour) {
  background_ = colour;
  update();
}

void LinkLabel::setAlignment(Qt::Alignment alignment) {
  alignment_ = alignment;
  update();
}

void LinkLabel::setVisited(bool visited) {
  visited_ = visited;
  update();
}

QColor LinkLabel::currentTextColour() const {
  if (hovered() && hoverColour_.isValid()) return hoverColour_;
  if (visited_ && visitedColour_.isValid()) return visitedColour_;
  return normal_.isValid() ? normal_ : QColor(0, 0, 255);
}

void LinkLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (background_.isValid()) painter.fillRect(rect(), background_);
  painter.setPen(currentTextColour());
  painter.drawText(rect(), static_cast<int>(alignment_ | Qt::TextSingleLine), text_);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton && onPressed) onPressed();
}

DrawPanelWidget::DrawPanelWidget(QWidget* parent) : QWidget(parent) {}

ColourSwatch::ColourSwatch(QWidget* parent) : QWidget(parent) {}

void ColourSwatch::setColour(std::uint32_t bgr) {
  colour_ = bgr;
  update();
}

void ColourSwatch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), ColourFromValue(colour_));
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColourSwatch::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !isEnabled()) return;
  const QColor chosen = QColorDialog::getColor(ColourFromValue(colour_), this);
  if (chosen.isValid()) setColour(ValueFromColour(chosen));
}

int WrappingButton::WrapFlags(const QFontMetrics& metrics, const QRect& area, const QString& text) {
  const int words = Qt::AlignCenter | Qt::TextWordWrap;
  if (metrics.boundingRect(area, words, text).width() <= area.width()) return words;
  return Qt::AlignCenter | Qt::TextWrapAnywhere;
}

void WrappingButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QString caption = option.text;
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);
  const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(area, WrapFlags(fontMetrics(), area, caption), caption);
}

}  // namespace trimbrel
