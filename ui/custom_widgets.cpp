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

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

void PictureBox::setPicture(const QPixmap& picture) {
  picture_ = picture;
  update();
}

void PictureBox::setBackground(const QColor& color) {
  background_ = color;
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

PictureButton::PictureButton(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
}

void PictureButton::setPicture(State state, const QPixmap& picture) {
  pictures_[state] = picture;
  update();
}

PictureButton::State PictureButton::state() const {
  if (!isEnabled()) return Disabled;
  if (hover_ && leftHeld_) return Pressed;
  if (hover_) return Hover;
  return Normal;
}

void PictureButton::paintEvent(QPaintEvent*) {
  const QPixmap& chosen = pictures_[state()];
  const QPixmap& shown = chosen.isNull() ? pictures_[Normal] : chosen;
  if (shown.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, shown);
}

void PictureButton::enterEvent(QEnterEvent*) {
  hover_ = true;
  update();
}

void PictureButton::leaveEvent(QEvent*) {
  hover_ = false;
  update();
}

void PictureButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    leftHeld_ = true;
    hover_ = rect().contains(event->position().toPoint());
    update();
  }
  event->accept();
}

void PictureButton::mouseMoveEvent(QMouseEvent* event) {
  const bool over = rect().contains(event->position().toPoint());
  if (over != hover_) {
    hover_ = over;
    update();
  }
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const bool clicked = leftHeld_ && isEnabled() && rect().contains(event->position().toPoint());
  leftHeld_ = false;
  update();
  if (clicked && onClicked) onClicked();
}

LinkLabel::LinkLabel(QWidget* parent) : QWidget(parent) {}

void LinkLabel::setText(const QString& text) {
  text_ = text;
  update();
}

void LinkLabel::setColors(const QColor& normal, const QColor& visited, const QColor& hover) {
  normal_ = normal;
  visited_color_ = visited;
  hoverColor_ = hover;
  update();
}

void LinkLabel::setBackground(const QColor& color) {
  background_ = color;
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

QColor LinkLabel::currentTextColor() const {
  if (hover_ && hoverColor_.isValid()) return hoverColor_;
  if (visited_ && visited_color_.isValid()) return visited_color_;
  return normal_.isValid() ? normal_ : QColor(0, 0, 255);
}

void LinkLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (background_.isValid()) painter.fillRect(rect(), background_);
  painter.setPen(currentTextColor());
  painter.drawText(rect(), static_cast<int>(alignment_ | Qt::TextSingleLine), text_);
}

void LinkLabel::enterEvent(QEnterEvent*) {
  hover_ = true;
  update();
}

void LinkLabel::leaveEvent(QEvent*) {
  hover_ = false;
  update();
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton && onPressed) onPressed();
}

DrawPanelWidget::DrawPanelWidget(QWidget* parent) : QWidget(parent) {}

ColorSwatch::ColorSwatch(QWidget* parent) : QWidget(parent) {}

void ColorSwatch::setColor(std::uint32_t bgr) {
  color_ = bgr;
  update();
}

void ColorSwatch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor c(color_ & 0xFF, (color_ >> 8) & 0xFF, (color_ >> 16) & 0xFF);
  painter.fillRect(rect(), c);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColorSwatch::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !isEnabled()) return;
  const QColor start(color_ & 0xFF, (color_ >> 8) & 0xFF, (color_ >> 16) & 0xFF);
  const QColor chosen = QColorDialog::getColor(start, this);
  if (chosen.isValid()) {
    setColor(static_cast<std::uint32_t>(chosen.red()) |
             (static_cast<std::uint32_t>(chosen.green()) << 8) |
             (static_cast<std::uint32_t>(chosen.blue()) << 16));
  }
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
