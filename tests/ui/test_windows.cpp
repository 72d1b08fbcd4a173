#include "test_windows.hpp"

#include <QApplication>
#include <QBuffer>
#include <QPointer>
#include <QImage>

#include "platform/platform.hpp"

namespace trimbrel::testing {

WindowDef SampleWindow() {
  WindowDef w;
  w.name = "测试窗口";
  w.title = "测试";
  w.width = 640;
  w.height = 480;
  w.escCloses = true;

  auto add = [&w](std::int32_t id, const char* name, Kind kind, int left, int top, int width,
                  int height) -> ControlDef& {
    return w.controls.emplace_back(
        ControlDef{.id = id, .name = name, .kind = kind, .left = left, .top = top, .width = width, .height = height});
  };
  add(kEdit, "编辑框宽", Kind::EditBox, 10, 10, 120, 30).text = "2.6";
  {
    ControlDef& memo = add(kMemo, "编辑框备注", Kind::EditBox, 10, 50, 200, 80);
    memo.multiLine = true;
    memo.text = "第一行\r\n第二行";
  }
  add(kButton, "按钮修改", Kind::Button, 220, 10, 150, 40).text = "选择照片批量修改";
  {
    ControlDef& combo = add(kCombo, "组合框单位", Kind::ComboBox, 220, 60, 150, 30);
    combo.items = {"像素", "厘米", "英寸"};
    combo.current = 1;
  }
  add(kLabel, "标签1", Kind::Label, 10, 140, 100, 20).text = "尺寸单位：";
  add(kTimer, "时钟1", Kind::Timer, 0, 0, 26, 26).interval = 20;
  {
    ControlDef& list = add(kList, "列表框1", Kind::ListBox, 400, 10, 120, 80);
    list.items = {"甲", "乙", "丙", "丁"};
    list.multiSelect = true;
  }
  add(kChkList, "选择列表框1", Kind::ChkListBox, 400, 100, 120, 80).items = {"一", "二", "三"};
  add(kCheck, "选择框1", Kind::CheckBox, 10, 170, 100, 20).text = "勾选";
  add(kPicker, "颜色选择器1", Kind::ColorPicker, 120, 170, 40, 20).colour = 0x00336699;
  {
    ControlDef& band = add(kBand, "图片框", Kind::PicBox, 0, 300, 640, 90);
    band.backColour = 0x00FFFFFF;
  }
  {
    ControlDef& pic = add(kPicBtn, "图片联系", Kind::PicBtn, 16, 10, 20, 20);
    pic.parent = "图片框";
    pic.picture = PngOfColour(Qt::red, 20, 20);
    pic.hoverPicture = PngOfColour(Qt::green, 20, 20);
    pic.pointer = Pointer::Hand;
  }
  {
    ControlDef& link = add(kLink, "链接联系", Kind::HyperLinker, 16, 40, 64, 24);
    link.parent = "图片框";
    link.text = "主页";
    link.address = "https://example.org/home";
    link.email = "someone@example.org";
    link.textColour = 0x00FF0000;     // blue
    link.visitedColour = 0x00800080;  // purple
    link.hoverColour = 0x000000FF;    // red
  }
  add(kDrop, "拖放对象1", Kind::DropTarget, 544, 56, 26, 26).acceptFiles = true;
  add(kClient, "客户1", Kind::Client, 608, 56, 26, 26).parent = "图片框";
  add(kPanel, "画板", Kind::DrawPanel, 560, 400, 80, 60).visible = false;
  return w;
}

QWidget* WidgetOf(WindowHandle window, std::int32_t id) {
  WindowWidget* w = FindWindowWidget(window);
  if (!w) return nullptr;
  Control* c = w->control(id);
  return c ? c->widget.data() : nullptr;
}

std::string Gbk(const char* utf8) { return Utf8ToGbk(utf8); }

void DeleteAllWindows() {
  QList<QPointer<QWidget>> windows;
  for (QWidget* w : QApplication::topLevelWidgets()) windows.append(w);
  for (const QPointer<QWidget>& w : windows) delete w.data();
}

Bytes PngOfColour(const QColor& colour, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return Bytes(data.begin(), data.end());
}

}  // namespace trimbrel::testing
