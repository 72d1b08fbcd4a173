// Saves and restores the controls of a window in a section of the settings
// file. Which controls take part, and how, is decided by their names and tags:
// a control whose name begins with a kind word ("按钮", "编辑框", "选择框",
// "单选框", "组合框", "列表框", "选择列表框", "颜色选择器") and whose kind is
// that kind is persisted, unless its tag is "禁止保存"; a button or edit box
// tagged "字节集方式" keeps its state in a side file instead of an entry.
// The binding lives here rather than in settings/, which knows neither Qt nor
// the control layer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/config_module.hpp"
#include "ui/ui.hpp"

namespace trimbrel {

struct PersistOptions {
  // Walk these instead of the window's controls. A reference to a control
  // without a widget of its own, or of a window that is not loaded, is
  // passed over.
  std::optional<std::vector<ControlRef>> controls;
  std::vector<std::string> skipNames;  // GBK names to leave out (whole, exact)
  bool withComboItems = false;         // also the combo boxes' item lists
  bool withComboText = false;          // also the combo boxes' edit text
};

// restore: read the stored states into the controls; otherwise store them.
// section: GBK; empty keeps the module's current section.
// Pending user-interface messages run before each control and inside the
// index-list loops; a window closed by one of them ends its controls' part
// of the pass without touching them again.
void persistControls(ConfigModule& config, WindowHandle window, bool restore,
                     const std::string& section, const PersistOptions& options = {});

}  // namespace trimbrel
