#include "desktop/tip_window.hpp"

#include "desktop/resources.hpp"
#include "desktop/window_look.hpp"

namespace trimbrel {

using namespace look;

WindowDef TipWindowDef() {
  WindowDef w = FixedWindow("打赏窗口", "打赏作者", 904, 692);

  const Bytes thanks = AssetBytes("thanks.txt");
  ControlDef text = {.id = 1, .name = "编辑框1", .kind = Kind::EditBox, .left = 24, .top = 424, .width = 845,
                     .height = 208, .tabStop = true, .text = std::string(thanks.begin(), thanks.end()),
                     .multiLine = true, .scrollBars = false, .align = Align::Left, .border = Border::Sunken,
                     .font = Song(20), .textColour = 0x00800080, .backColour = kWhite};
  ControlDef right = {.id = 2, .name = "图片框2", .kind = Kind::PicBox, .left = 448, .top = 16, .width = 480,
                      .height = 400, .picture = AssetBytes("tip-right.png")};
  ControlDef left = {.id = 3, .name = "图片框1", .kind = Kind::PicBox, .left = 24, .top = -56, .width = 432,
                     .height = 546, .picture = AssetBytes("tip-left.png")};
  w.controls = {text, right, left};
  return w;
}

}  // namespace trimbrel
