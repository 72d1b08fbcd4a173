// The control kinds Qt has no widget for.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>

#include <functional>

#include "ui/control_types.hpp"

namespace trimbrel {

QPixmap PixmapFromBytes(const Bytes& bytes);

// A container with a background and an optional picture, shrunk to fit with
// its proportions kept and centred; never enlarged.
class PictureBox : public QWidget {
  Q_OBJECT
 public:
  explicit PictureBox(QWidget* parent = nullptr);
  void setPicture(const QPixmap& picture);
  void setBackground(const QColor& color);  // invalid: the parent shows through
  // Where the picture goes in a box of this size.
  static QRect FitRect(QSize picture, QSize box);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap picture_;
  QColor background_;
};

class PictureButton : public QWidget {
  Q_OBJECT
 public:
  enum State { Normal, Hover, Pressed, Disabled };
  explicit PictureButton(QWidget* parent = nullptr);
  void setPicture(State state, const QPixmap& picture);
  State state() const;
  std::function<void()> onClicked;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QPixmap pictures_[4];
  bool hover_ = false;
  bool leftHeld_ = false;
};

// A push button whose caption may take several lines: wrapped between
// words, and inside a word when one word alone is wider than the button
// (a long file name in a progress caption), centred both ways.
class WrappingButton : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;
  // The flags the caption is drawn with inside `area`.
  static int WrapFlags(const QFontMetrics& metrics, const QRect& area, const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// A caption that opens its target on the left-button press.
class LinkLabel : public QWidget {
  Q_OBJECT
 public:
  explicit LinkLabel(QWidget* parent = nullptr);
  void setText(const QString& text);
  QString text() const { return text_; }
  void setColors(const QColor& normal, const QColor& visited, const QColor& hover);
  void setBackground(const QColor& color);
  void setAlignment(Qt::Alignment alignment);
  void setVisited(bool visited);
  bool visited() const { return visited_; }
  QColor currentTextColor() const;
  std::function<void()> onPressed;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QString text_;
  QColor normal_, visited_color_, hoverColor_, background_;
  Qt::Alignment alignment_ = Qt::AlignCenter;
  bool visited_ = false;
  bool hover_ = false;
};

// The batch run's drawing surface lives in the application; the panel only
// gives it a place among the controls.
class DrawPanelWidget : public QWidget {
  Q_OBJECT
 public:
  explicit DrawPanelWidget(QWidget* parent = nullptr);
};

class ColorSwatch : public QWidget {
  Q_OBJECT
 public:
  explicit ColorSwatch(QWidget* parent = nullptr);
  void setColor(std::uint32_t bgr);
  std::uint32_t color() const { return color_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  std::uint32_t color_ = 0;
};

}  // namespace trimbrel
