#include "persist_fixture.hpp"

#include "platform/platform.hpp"

namespace trimbrel::persist_testing {
namespace {

const std::vector<std::string> kFive = {"一", "二", "三", "四", "五"};

}  // namespace

std::string G(const char* utf8) { return Utf8ToGbk(utf8); }
std::string G(const QString& text) { return Utf8ToGbk(text.toStdString()); }

// UTF-8 lines joined with CR LF, none after the last, as GBK.
std::string Lines(const QStringList& lines) { return G(lines.join(QStringLiteral("\r\n"))); }

// Shows GBK bytes readably in a failure message.
QString Shown(const std::string& gbk) {
  QString text = QString::fromStdString(GbkToUtf8(gbk));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n\n"));
  return text;
}

ControlDef& Add(WindowDef& w, std::int32_t id, const char* name, Kind kind) {
  ControlDef d;
  d.id = id;
  d.name = name;
  d.kind = kind;
  d.left = 10 + 30 * static_cast<std::int32_t>(w.controls.size() % 10);
  d.top = 10 + 30 * static_cast<std::int32_t>(w.controls.size() / 10);
  d.width = 28;
  d.height = 28;
  w.controls.push_back(std::move(d));
  return w.controls.back();
}

WindowDef KindsWindow() {
  WindowDef w;
  w.name = "各类窗口";
  w.width = 400;
  w.height = 200;
  Add(w, kButton, "按钮甲", Kind::Button).text = "按我";
  Add(w, kEdit, "编辑框甲", Kind::EditBox).text = "2.6";
  {
    ControlDef& memo = Add(w, kMemo, "编辑框备注", Kind::EditBox);
    memo.multiLine = true;
    memo.text = "备注";
  }
  {
    ControlDef& block = Add(w, kBlockEdit, "编辑框块", Kind::EditBox);
    block.multiLine = true;
    block.text = "块";
    block.tag = "字节集方式";
  }
  Add(w, kCheck, "选择框甲", Kind::CheckBox).text = "勾";
  Add(w, kRadioA, "单选框甲", Kind::RadioBox).checked = true;
  Add(w, kRadioB, "单选框乙", Kind::RadioBox);
  {
    ControlDef& combo = Add(w, kCombo, "组合框甲", Kind::ComboBox);
    combo.items = {"像素", "厘米", "英寸"};
    combo.current = 1;
  }
  {
    ControlDef& combo = Add(w, kEditableCombo, "组合框可编辑", Kind::ComboBox);
    combo.items = {"甲", "乙"};
    combo.editable = true;
    combo.text = "自填";
  }
  {
    ControlDef& list = Add(w, kList, "列表框甲", Kind::ListBox);
    list.items = kFive;
    list.multiSelect = true;
  }
  Add(w, kSingleList, "列表框单选", Kind::ListBox).items = kFive;
  Add(w, kChkList, "选择列表框甲", Kind::ChkListBox).items = kFive;
  Add(w, kPicker, "颜色选择器甲", Kind::ColorPicker).colour = 0x00336699;
  Add(w, kLabel, "标签甲", Kind::Label).text = "不存";
  return w;
}


WindowDef MainLikeWindow() {
  WindowDef w;
  w.name = "主界面";
  w.width = 600;
  w.height = 300;
  Add(w, kDonate, "按钮打赏", Kind::Button).text = "打赏";
  Add(w, 2, "标签dpi", Kind::Label).text = "DPI：";
  Add(w, kDpi, "编辑框dpi", Kind::EditBox).text = "150";
  Add(w, 4, "标签单位", Kind::Label).text = "单位：";
  {
    ControlDef& unit = Add(w, kUnit, "组合框单位", Kind::ComboBox);
    unit.items = {"像素", "厘米", "英寸"};
    unit.current = 1;
  }
  {
    ControlDef& base = Add(w, kBase, "组合框基准", Kind::ComboBox);
    base.items = {"基于宽", "基于高"};
    base.current = 0;
  }
  Add(w, 7, "标签格式", Kind::Label).text = "格式：";
  {
    ControlDef& format = Add(w, kFormat, "组合框保存格式", Kind::ComboBox);
    format.items = {"原格式", "JPG", "PNG", "BMP", "TIF"};
    format.current = 1;
  }
  Add(w, kHeight, "编辑框高", Kind::EditBox).text = "3.2";
  Add(w, 10, "标签宽", Kind::Label).text = "宽：";
  Add(w, kWidth, "编辑框宽", Kind::EditBox).text = "2.6";
  Add(w, kModify, "按钮修改", Kind::Button).text = "选择照片批量修改";
  Add(w, 13, "时钟1", Kind::Timer).interval = 1000;
  return w;
}

// The first save of the main window's initial values, key by key.
std::string MainFirstSave() {
  return Lines({"[主界面]", "按钮修改.标记=", "编辑框宽=2.6", "编辑框高=3.2", "组合框保存格式=1",
                "组合框基准=0", "组合框单位=1", "编辑框dpi=150", "按钮打赏.标记="});
}

// Everything a pass may touch, to see what a pass changed.
std::map<QString, std::string> Snapshot(WindowHandle window) {
  std::map<QString, std::string> state;
  auto put = [&](const char* what, const Value& v) {
    std::string text;
    if (auto* i = std::get_if<std::int32_t>(&v)) text = std::to_string(*i);
    if (auto* s = std::get_if<std::string>(&v)) text = *s;
    if (auto* b = std::get_if<Bytes>(&v)) text.assign(b->begin(), b->end());
    state[QString::fromUtf8(what)] = text;
  };
  const auto idx = [](const std::vector<std::int32_t>& v) {
    std::string text;
    for (std::int32_t i : v) text += std::to_string(i) + ";";
    return Value{text};
  };
  for (const ControlEntry& c : listControls(window)) {
    const std::string name = GbkToUtf8(c.name);
    auto key = [&](const char* what) { return (name + "/" + what); };
    auto read = [&](const char* what, int number) {
      put(key(what).c_str(), readProperty(window, c.ref.id, number));
    };
    read("tag", prop::kTag);
    switch (c.kind) {
      case Kind::EditBox: read("content", prop::kEditContent); break;
      case Kind::CheckBox:
      case Kind::RadioBox: read("checked", prop::kChecked); break;
      case Kind::ComboBox:
        read("current", prop::kComboCurrent);
        read("items", prop::kComboItems);
        read("text", prop::kComboEditText);
        break;
      case Kind::ListBox:
        read("items", prop::kListItems);
        put(key("selected").c_str(), idx(SelectedIndices(c.ref)));
        break;
      case Kind::ChkListBox: {
        read("items", prop::kChkListItems);
        read("current", prop::kChkListCurrent);
        std::vector<std::int32_t> ticked;
        for (std::int32_t i = 0; i < ItemCount(c.ref); ++i) {
          if (IsItemTicked(c.ref, i)) ticked.push_back(i);
        }
        put(key("ticked").c_str(), idx(ticked));
        break;
      }
      case Kind::ColorPicker: read("colour", prop::kPickerColour); break;
      default: break;
    }
  }
  return state;
}

std::vector<std::int32_t> Ticked(ControlRef c) {
  std::vector<std::int32_t> out;
  for (std::int32_t i = 0; i < ItemCount(c); ++i) {
    if (IsItemTicked(c, i)) out.push_back(i);
  }
  return out;
}


}  // namespace trimbrel::persist_testing
