// Whether a window definition holds together, decided from the plain data
// alone: the loader refuses a definition this finds a fault in, before any
// widget exists.
#pragma once

#include "ui/window_def.hpp"

namespace trimbrel {

enum class DefinitionFault {
  None,
  ZeroId,           // a control has id 0, which addresses the window itself
  DuplicateId,
  DuplicateName,
  UnknownParent,    // the parent names no control of the window
  WindowlessParent, // the parent has no widget to hold children (a timer, a drop target)
  ParentLoop,       // following the parents never reaches the window
  ForeignEvent,     // a handler is bound to an event the control's kind never raises
};

// The first fault found, in definition order; None for a sound definition.
DefinitionFault CheckDefinition(const WindowDef& def);

}  // namespace trimbrel
