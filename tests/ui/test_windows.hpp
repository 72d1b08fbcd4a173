// Small window definitions and helpers shared by the control-layer tests.
#pragma once

#include <QColor>
#include <QWidget>

#include <string>

#include "ui/control_model.hpp"
#include "ui/ui.hpp"

namespace trimbrel::testing {

// Ids of the sample window's controls.
enum : std::int32_t {
  kEdit = 1,
  kMemo,
  kButton,
  kCombo,
  kLabel,
  kTimer,
  kList,
  kChkList,
  kCheck,
  kPicker,
  kBand,
  kPicBtn,
  kLink,
  kDrop,
  kClient,
  kPanel,
};

// A window with one control of nearly every kind, in a fixed definition order.
WindowDef SampleWindow();

// The widget behind a control of a loaded window.
QWidget* WidgetOf(WindowHandle window, std::int32_t id);
template <class W>
W* WidgetAs(WindowHandle window, std::int32_t id) {
  return qobject_cast<W*>(WidgetOf(window, id));
}

std::string Gbk(const char* utf8);
// Deletes every window a test left behind (owned windows and popups go with
// their owners, so each is deleted only while it still exists).
void DeleteAllWindows();
Bytes PngOfColour(const QColor& colour, int width, int height);

}  // namespace trimbrel::testing
