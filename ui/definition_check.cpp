#include "ui/definition_check.hpp"

#include <algorithm>
#include <string>
#include <unordered_set>

namespace trimbrel {
namespace {

// The parent chain of `d` must end at the window, through windowed controls.
DefinitionFault CheckParentChain(const std::vector<ControlDef>& controls, const ControlDef& d) {
  const ControlDef* at = &d;
  for (std::size_t steps = 0; !at->parent.empty(); ++steps) {
    if (steps > controls.size()) return DefinitionFault::ParentLoop;
    const auto parent = std::find_if(controls.begin(), controls.end(),
                                     [at](const ControlDef& o) { return o.name == at->parent; });
    if (parent == controls.end()) return DefinitionFault::UnknownParent;
    if (!IsWindowed(parent->kind)) return DefinitionFault::WindowlessParent;
    at = &*parent;
  }
  return DefinitionFault::None;
}

bool RaisesAll(Kind kind, const std::map<EventCode, Handler>& events) {
  for (const auto& binding : events) {
    if (!HasEvent(kind, binding.first)) return false;
  }
  return true;
}

}  // namespace

DefinitionFault CheckDefinition(const WindowDef& def) {
  std::unordered_set<std::int32_t> ids;
  std::unordered_set<std::string> names;
  for (const ControlDef& d : def.controls) {
    if (d.id == kWindowSelf) return DefinitionFault::ZeroId;
    if (!ids.insert(d.id).second) return DefinitionFault::DuplicateId;
    if (!d.name.empty() && !names.insert(d.name).second) return DefinitionFault::DuplicateName;
  }
  if (!RaisesAll(Kind::window, def.events)) return DefinitionFault::ForeignEvent;
  for (const ControlDef& d : def.controls) {
    if (!RaisesAll(d.kind, d.events)) return DefinitionFault::ForeignEvent;
  }
  for (const ControlDef& d : def.controls) {
    if (const DefinitionFault fault = CheckParentChain(def.controls, d); fault != DefinitionFault::None) {
      return fault;
    }
  }
  return DefinitionFault::None;
}

}  // namespace trimbrel
