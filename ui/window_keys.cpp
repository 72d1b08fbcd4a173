// The window's own keys: Esc closes when the definition says so, Enter moves
// the focus like Tab when it says so, and Tab walks the focus order.
#include <QApplication>
#include <QKeyEvent>

#include <algorithm>

#include "ui/control_model.hpp"

namespace trimbrel {

void WindowWidget::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && def_.escCloses) {
    close();
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && def_.enterMovesFocus) {
    focusNextPrevChild(true);
    return;
  }
  QWidget::keyPressEvent(event);
}

bool WindowWidget::focusNextPrevChild(bool next) {
  std::vector<Control*> ring;
  for (auto& c : controls_) {
    QWidget* w = c->widget;
    if (w && TakesFocus(c->stored.kind) && c->stored.tabStop && w->isVisibleTo(this) &&
        w->isEnabled()) {
      ring.push_back(c.get());
    }
  }
  if (ring.empty()) return true;
  // Ascending keys; among equal keys the later definition comes first.
  std::stable_sort(ring.begin(), ring.end(), [](const Control* a, const Control* b) {
    if (a->stored.focusKey != b->stored.focusKey) return a->stored.focusKey < b->stored.focusKey;
    return a->order > b->order;
  });
  const QWidget* focused = QApplication::focusWidget();
  const auto n = static_cast<std::ptrdiff_t>(ring.size());
  std::ptrdiff_t at = -1;
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    QWidget* w = ring[static_cast<std::size_t>(i)]->widget;
    if (focused && (focused == w || w->isAncestorOf(focused))) at = i;
  }
  std::ptrdiff_t target;
  if (at < 0) {
    target = next ? 0 : n - 1;
  } else {
    target = next ? (at + 1) % n : (at - 1 + n) % n;
  }
  ring[static_cast<std::size_t>(target)]->widget->setFocus(next ? Qt::TabFocusReason
                                                                : Qt::BacktabFocusReason);
  return true;
}

}  // namespace trimbrel
