#include "platform/platform.hpp"
#include "ui/control_types.hpp"

#include <variant>

namespace trimbrel {

std::string KindWord(Kind kind) {
  const char* word = "";
  switch (kind) {
    case Kind::window: word = "窗口"; break;
    case Kind::EditBox: word = "编辑框"; break;
    case Kind::Button: word = "按钮"; break;
    case Kind::ComboBox: word = "组合框"; break;
    case Kind::Label: word = "标签"; break;
    case Kind::PicBox: word = "图片框"; break;
    case Kind::PicBtn: word = "图形按钮"; break;
    case Kind::HyperLinker: word = "超级链接框"; break;
    case Kind::DrawPanel: word = "画板"; break;
    case Kind::Timer: word = "时钟"; break;
    case Kind::Client: word = "客户"; break;
    case Kind::DropTarget: word = "拖放对象"; break;
    case Kind::CheckBox: word = "选择框"; break;
    case Kind::RadioBox: word = "单选框"; break;
    case Kind::ListBox: word = "列表框"; break;
    case Kind::ChkListBox: word = "选择列表框"; break;
    case Kind::ColorPicker: word = "颜色选择器"; break;
  }
  return Utf8ToGbk(word);
}

bool IsWindowed(Kind kind) {
  return kind != Kind::Timer && kind != Kind::Client && kind != Kind::DropTarget;
}

bool HasEvent(Kind kind, const EventCode& event) {
  if (std::holds_alternative<InputEvent>(event)) return IsWindowed(kind);
  switch (kind) {
    case Kind::window: return std::holds_alternative<WindowEvent>(event);
    case Kind::Button:
    case Kind::PicBtn:
    case Kind::CheckBox:
    case Kind::RadioBox: return std::holds_alternative<ButtonEvent>(event);
    case Kind::EditBox: return std::holds_alternative<EditEvent>(event);
    case Kind::ComboBox: return std::holds_alternative<ComboEvent>(event);
    case Kind::Timer: return std::holds_alternative<TimerEvent>(event);
    case Kind::DropTarget: return std::holds_alternative<DropEvent>(event);
    default: return false;
  }
}

}  // namespace trimbrel
