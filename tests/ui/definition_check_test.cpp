// The definition check works on plain data: this test has no Qt at all.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "ui/definition_check.hpp"

namespace trimbrel {
namespace {

// A band holding a picture button that holds a label, beside a timer, a drop
// target and two controls without names.
WindowDef Sound() {
  WindowDef w{.name = "窗口"};
  w.controls = {
      {.id = 1, .name = "图片框", .kind = Kind::PicBox},
      {.id = 2, .name = "图片联系", .kind = Kind::PicBtn, .parent = "图片框"},
      {.id = 3, .name = "标签1", .kind = Kind::Label, .parent = "图片联系"},
      {.id = 4, .name = "时钟1", .kind = Kind::Timer, .parent = "图片框"},
      {.id = 5, .name = "拖放对象1", .kind = Kind::DropTarget},
      {.id = 6, .kind = Kind::Label},
      {.id = 7, .kind = Kind::Label},
  };
  return w;
}

const Handler kNoop = [](const EventArgs&) -> std::optional<std::int32_t> { return std::nullopt; };

struct Case {
  const char* what;
  std::function<void(WindowDef&)> change;
  DefinitionFault fault;
};

TEST(DefinitionCheck, FindsTheFirstFault) {
  const Case cases[] = {
      {"sound", [](WindowDef&) {}, DefinitionFault::None},
      {"no controls", [](WindowDef& w) { w.controls.clear(); }, DefinitionFault::None},
      {"id 0", [](WindowDef& w) { w.controls[3].id = kWindowSelf; }, DefinitionFault::ZeroId},
      {"id twice", [](WindowDef& w) { w.controls[6].id = 2; }, DefinitionFault::DuplicateId},
      {"name twice", [](WindowDef& w) { w.controls[6].name = "标签1"; }, DefinitionFault::DuplicateName},
      {"unknown parent", [](WindowDef& w) { w.controls[0].parent = "不存在"; }, DefinitionFault::UnknownParent},
      {"the window as parent", [](WindowDef& w) { w.controls[2].parent = "窗口"; },
       DefinitionFault::UnknownParent},
      {"timer as parent", [](WindowDef& w) { w.controls[2].parent = "时钟1"; },
       DefinitionFault::WindowlessParent},
      {"drop target as parent", [](WindowDef& w) { w.controls[0].parent = "拖放对象1"; },
       DefinitionFault::WindowlessParent},
      {"own parent", [](WindowDef& w) { w.controls[0].parent = "图片框"; }, DefinitionFault::ParentLoop},
      {"parents in a ring", [](WindowDef& w) { w.controls[0].parent = "标签1"; }, DefinitionFault::ParentLoop},
      {"every kind's own events",
       [](WindowDef& w) {
         w.events = {{WindowEvent::CloseQuery, kNoop}, {InputEvent::MouseMove, kNoop}};
         w.controls[1].events = {{ButtonEvent::Clicked, kNoop}, {InputEvent::RightDown, kNoop}};
         w.controls[2].events = {{InputEvent::Wheel, kNoop}};
         w.controls[3].events = {{TimerEvent::Tick, kNoop}};
         w.controls[4].events = {{DropEvent::FilesDropped, kNoop}};
         w.controls.push_back({.id = 8, .kind = Kind::CheckBox, .events = {{ButtonEvent::Clicked, kNoop}}});
         w.controls.push_back({.id = 9, .kind = Kind::ComboBox, .events = {{ComboEvent::ItemChosen, kNoop}}});
         w.controls.push_back({.id = 10, .kind = Kind::EditBox, .events = {{EditEvent::Changed, kNoop}}});
       },
       DefinitionFault::None},
      {"a click bound to a timer", [](WindowDef& w) { w.controls[3].events[ButtonEvent::Clicked] = kNoop; },
       DefinitionFault::ForeignEvent},
      {"a tick bound to a picture button", [](WindowDef& w) { w.controls[1].events[TimerEvent::Tick] = kNoop; },
       DefinitionFault::ForeignEvent},
      {"mouse input on a drop target",
       [](WindowDef& w) { w.controls[4].events[InputEvent::LeftDown] = kNoop; }, DefinitionFault::ForeignEvent},
      {"a window event on a label", [](WindowDef& w) { w.controls[2].events[WindowEvent::Created] = kNoop; },
       DefinitionFault::ForeignEvent},
      {"a click bound to the window", [](WindowDef& w) { w.events[ButtonEvent::Clicked] = kNoop; },
       DefinitionFault::ForeignEvent},
      // Ids and names are checked over the whole definition before any parent.
      {"names before parents",
       [](WindowDef& w) {
         w.controls[0].parent = "不存在";
         w.controls[6].name = "时钟1";
       },
       DefinitionFault::DuplicateName},
  };
  for (const Case& c : cases) {
    WindowDef def = Sound();
    c.change(def);
    EXPECT_EQ(CheckDefinition(def), c.fault) << c.what;
  }
}

}  // namespace
}  // namespace trimbrel
