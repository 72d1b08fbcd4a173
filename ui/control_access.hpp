// Handlers and the settings component reach controls only through these
// operations: a window handle, a control id and a property number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control_types.hpp"
#include "ui/window_def.hpp"

class QWidget;

namespace trimbrel {

// Builds the window and its controls from the definition, runs the created
// event, then shows the window when the definition says so. An owned window
// stays in front of its owner and closes with it. Returns 0 for a definition
// that does not hold together (duplicate or zero ids, duplicate names, an
// unknown parent).
WindowHandle loadWindow(const WindowDef& def, WindowHandle owner = 0);
bool IsWindowLoaded(WindowHandle window);
// A close request as from the title bar: runs the close query and closes the
// window unless a handler refuses. True when the window is gone.
bool RequestClose(WindowHandle window);
// The window's widget, for the application's own Qt needs (dialog parents,
// activation); nullptr when not loaded.
QWidget* WidgetOfWindow(WindowHandle window);

// Fatal for a window that is not loaded or a control it does not have.
Value readProperty(WindowHandle window, std::int32_t control, int number);
void writeProperty(WindowHandle window, std::int32_t control, int number, const Value& value);

// Typed conveniences over readProperty: 0 / empty when the property has
// another type.
std::int32_t ReadInt(WindowHandle window, std::int32_t control, int number);
std::string ReadText(WindowHandle window, std::int32_t control, int number);
Bytes ReadBytes(WindowHandle window, std::int32_t control, int number);

struct ControlEntry {
  ControlRef ref;
  Kind kind = Kind::Label;
  std::string name;  // GBK
};
// The window's controls with a widget of their own, in definition order.
std::vector<ControlEntry> listControls(WindowHandle window);
// The id of the control with this GBK name; 0 when there is none.
std::int32_t FindControl(WindowHandle window, std::string_view gbkName);
std::string ControlName(ControlRef control);  // GBK; empty when unknown

// List box and check list box items. An index outside 0 .. count - 1 does
// nothing and reports false.
std::int32_t ItemCount(ControlRef control);
std::vector<std::int32_t> SelectedIndices(ControlRef control);
bool SelectItem(ControlRef control, std::int32_t index);
bool IsItemTicked(ControlRef control, std::int32_t index);
bool TickItem(ControlRef control, std::int32_t index);

// Makes the drop target receive the drags over the window and all its
// controls. False when the target is already registered, is not a drop
// target, or the window already has one.
bool registerDropTarget(ControlRef dropTarget, WindowHandle window);

}  // namespace trimbrel
