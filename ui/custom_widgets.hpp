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
// Colours cross the control interface as 0x00BBGGRR.
QColor ColourFromValue(std::uint32_t bgr);
std::uint32_t ValueFromColour(const QColor& colour);

// A container with a background and an optional picture, shrunk to fit with
// its proportions kept and centred; never enlarged.
class PictureBox : public QWidget {
  Q_OBJECT
 public:
  explicit PictureBox(QWidget* parent = nullptr);
  void setPicture(const QPixmap& picture);
  void setBackground(const QColor& colour);  // invalid: the parent shows through
  // Where the picture goes in a box of this size.
  static QRect FitRect(QSize picture, QSize box);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap picture_;
  QColor background_;
};

// A widget drawn differently while the mouse is over it: it repaints
// whenever that changes.
class HoverWidget : public QWidget {
 public:
  using QWidget::QWidget;
  bool hovered() const { return hovered_; }

 protected:
  void setHovered(bool hovered);
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool hovered_ = false;
};

class PictureButton : public HoverWidget {
  Q_OBJECT
 public:
  enum State { Normal, Hover, Pressed, Disabled };
  explicit PictureButton(QWidget* parent = nullptr);
  void setPicture(State state, const QPixmap& picture);
  State state() const;
  std::function<void()> onClicked;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QPixmap pictures_[4];
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
class LinkLabel : public HoverWidget {
  Q_OBJECT
 public:
  explicit LinkLabel(QWidget* parent = nullptr);
  void setText(const QString& text);
  QString text() const { return text_; }
  void setColours(const QColor& normal, const QColor& visited, const QColor& hover);
  void setBackground(const QColor& colour);
  void setAlignment(Qt::Alignment alignment);
  void setVisited(bool visited);
  bool visited() const { return visited_; }
  QColor currentTextColour() const;
  std::function<void()> onPressed;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QString text_;
  QColor normal_, visitedColour_, hoverColour_, background_;
  Qt::Alignment alignment_ = Qt::AlignCenter;
  bool visited_ = false;
};

// The batch run's drawing surface lives in the application; the panel only
// gives it a place among the controls.
class DrawPanelWidget : public QWidget {
  Q_OBJECT
 public:
  explicit DrawPanelWidget(QWidget* parent = nullptr);
};

class ColourSwatch : public QWidget {
  Q_OBJECT
 public:
  explicit ColourSwatch(QWidget* parent = nullptr);
  void setColour(std::uint32_t bgr);
  std::uint32_t colour() const { return colour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  std::uint32_t colour_ = 0;
};

}  // namespace trimbrel
