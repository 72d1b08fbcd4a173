#include "desktop/main_window.hpp"

#include "desktop/addresses.hpp"
#include "desktop/resources.hpp"
#include "desktop/window_look.hpp"

namespace trimbrel {

namespace {

namespace id = main_id;
using namespace look;

Handler Bind(const std::function<void(WindowHandle)>& f) {
  if (!f) return {};
  return [f](const EventArgs& e) -> std::optional<std::int32_t> {
    f(e.source.window);
    return std::nullopt;
  };
}

void On(ControlDef& c, EventCode event, Handler h) {
  if (h) c.events[event] = std::move(h);
}

ControlDef Label(std::int32_t i, const char* name, int left, int top, int width, int height, const char* caption) {
  return {.id = i, .name = name, .kind = Kind::Label, .left = left, .top = top, .width = width, .height = height,
          .text = caption, .font = Song(43), .textColour = kBlack};
}

ControlDef Edit(std::int32_t i, const char* name, int left, int top, int width, int height, const char* content) {
  return {.id = i, .name = name, .kind = Kind::EditBox, .left = left, .top = top, .width = width, .height = height,
          .tabStop = true, .text = content, .align = Align::Center, .border = Border::Sunken, .font = Song(43),
          .textColour = kBlack, .backColour = kWhite};
}

ControlDef Combo(std::int32_t i, const char* name, int left, int top, int width, std::vector<std::string> items,
                 int current) {
  return {.id = i, .name = name, .kind = Kind::ComboBox, .left = left, .top = top, .width = width, .height = 51,
          .tabStop = true, .items = std::move(items), .current = current, .font = Song(43), .textColour = kBlack,
          .backColour = kWhite};
}

ControlDef PictureButton(std::int32_t i, const char* name, int left, int top, int width, int height,
                         const char* normal, const char* hover) {
  return {.id = i, .name = name, .kind = Kind::PicBtn, .parent = "图片框", .left = left, .top = top,
          .width = width, .height = height, .pointer = Pointer::Hand, .picture = AssetBytes(normal),
          .hoverPicture = AssetBytes(hover)};
}

ControlDef Link(std::int32_t i, const char* name, int left, int top, const char* caption, const char* address) {
  return {.id = i, .name = name, .kind = Kind::HyperLinker, .parent = "图片框", .left = left, .top = top,
          .width = 64, .height = 24, .pointer = Pointer::Hand, .text = caption, .align = Align::Center,
          .font = Song(12), .textColour = kBlue, .backColour = kWhite, .linkType = 1, .address = address,
          .hoverColour = kRed, .visitedColour = kBlue};
}

ControlDef Hidden(std::int32_t i, const char* name, Kind kind, int left, int top, const char* parent = "") {
  return {.id = i, .name = name, .kind = kind, .parent = parent, .left = left, .top = top, .width = 26,
          .height = 26};
}

}  // namespace

WindowDef MainWindowDef(const MainWindowHandlers& h) {
  WindowDef w = FixedWindow("主窗口",
                            "Trimbrel(Kestrim) v1.0.3.1 - 自动将照片修剪为新的尺寸，居中适应并且不会扭曲原图  "
                            "(可拖放图片到软件)",
                            857, 497);

  ControlDef drop = Hidden(id::kDropTarget, "拖放对象1", Kind::DropTarget, 544, 56);
  drop.acceptFiles = true;

  ControlDef tip = {.id = id::kTipButton, .name = "按钮打赏", .kind = Kind::Button, .left = 656, .top = 16,
                    .width = 168, .height = 48, .tabStop = true, .text = "打赏作者", .align = Align::Center,
                    .font = Song(32)};

  ControlDef band = {.id = id::kBand, .name = "图片框", .kind = Kind::PicBox, .left = 0, .top = 0, .width = 1000,
                     .height = 90, .backColour = kWhite};

  ControlDef timer = Hidden(id::kBrandTimer, "时钟官网", Kind::Timer, 576, 56, "图片框");
  timer.interval = 20;

  ControlDef rule = {.id = id::kBandRule, .name = "标签10", .kind = Kind::Label, .parent = "图片框", .left = -1,
                     .top = 88, .width = 1200, .height = 2, .border = Border::StaticEdge};

  ControlDef panel = {.id = id::kPanel, .name = "画板", .kind = Kind::DrawPanel, .left = 784, .top = 448,
                      .width = 80, .height = 60, .visible = false};

  ControlDef run = {.id = id::kRunButton, .name = "按钮修改", .kind = Kind::Button, .left = 424, .top = 112,
                    .width = 400, .height = 190, .tabStop = true, .text = kRunCaption, .multiLine = true,
                    .align = Align::Center, .font = Song(43)};

  ControlDef unit = Combo(id::kUnit, "组合框单位", 240, 320, 160, {"像素", "厘米", "英寸"}, 1);
  ControlDef contact = PictureButton(id::kContactPicture, "图片联系", 16, -1, 64, 64, "contact.gif", "contact-hover.gif");
  ControlDef brand = PictureButton(id::kBrandPicture, "图片Kelvra软件", 360, 12, 195, 64, "brand.gif", "brand-hover.gif");
  ControlDef home = PictureButton(id::kHomePicture, "图片软件主页", 101, -1, 64, 64, "homepage.gif", "homepage-hover.gif");

  On(tip, ButtonEvent::Clicked, Bind(h.tipClicked));
  On(unit, ComboEvent::ItemChosen, Bind(h.unitChosen));
  On(contact, ButtonEvent::Clicked, Bind(h.contactClicked));
  On(brand, ButtonEvent::Clicked, Bind(h.brandClicked));
  On(brand, InputEvent::RightDown, Bind(h.brandRightPressed));
  On(home, ButtonEvent::Clicked, Bind(h.homeClicked));
  On(timer, TimerEvent::Tick, Bind(h.brandTick));
  On(run, ButtonEvent::Clicked, Bind(h.runClicked));
  if (h.filesDropped) {
    auto f = h.filesDropped;
    drop.events[DropEvent::FilesDropped] = [f](const EventArgs& e) -> std::optional<std::int32_t> {
      f(e.source.window, e.text);
      return std::nullopt;
    };
  }

  w.controls = {
      drop,
      tip,
      Hidden(id::kClient, "客户1", Kind::Client, 608, 56, "图片框"),
      Edit(id::kDpi, "编辑框dpi", 680, 320, 144, 48, "150"),
      Label(id::kDpiLabel, "标签6", 424, 320, 248, 48, "分辨率 DPI："),
      unit,
      Label(id::kUnitLabel, "标签5", 24, 320, 208, 48, "尺寸单位："),
      contact,
      Link(id::kContactLink, "链接联系", 16, 63, kContactCaption, kContactPage),
      band,
      timer,
      rule,
      brand,
      Link(id::kHomeLink, "链接软件主页", 101, 63, "软件主页", kProductHomePage),
      home,
      panel,
      Combo(id::kBasis, "组合框基准", 240, 250, 160, {"基于宽", "基于高"}, 0),
      Label(id::kBasisLabel, "标签4", 24, 250, 208, 48, "修剪基准："),
      Label(id::kFormatLabel, "标签3", 24, 392, 208, 48, "保存格式："),
      Combo(id::kFormat, "组合框保存格式", 240, 392, 584,
            {"BMP -  Windows无压缩标准位图", "JPG -  高压缩跨平台图像", "GIF -  高压缩网络图形",
             "TIFF - 多通道富格式图像", "PNG -  高压缩高质量网络图形"},
            1),
      Label(id::kHeightLabel, "标签2", 24, 181, 208, 48, "修剪后高："),
      Edit(id::kHeight, "编辑框高", 240, 181, 160, 48, "3.2"),
      Edit(id::kWidth, "编辑框宽", 240, 112, 160, 48, "2.6"),
      Label(id::kWidthLabel, "标签1", 24, 112, 208, 48, "修剪后宽："),
      run,
  };

  if (h.created) {
    auto f = h.created;
    w.events[WindowEvent::Created] = [f](const EventArgs& e) -> std::optional<std::int32_t> {
      f(e.source.window);
      return std::nullopt;
    };
  }
  if (h.closeQuery) {
    auto f = h.closeQuery;
    w.events[WindowEvent::CloseQuery] = [f](const EventArgs& e) -> std::optional<std::int32_t> {
      if (f(e.source.window)) return std::nullopt;
      return 0;
    };
  }
  return w;
}

}  // namespace trimbrel
