// The main window as data: every control with its name, place and looks,
// and the events that have handlers. The names are also the keys under
// which the inputs are saved, so they never change.
#pragma once

#include <functional>
#include <string>

#include "ui/ui.hpp"

namespace trimbrel {

// Control ids: the rows of the table, in definition order.
namespace main_id {
inline constexpr std::int32_t kDropTarget = 1;     // 拖放对象1
inline constexpr std::int32_t kTipButton = 2;      // 按钮打赏
inline constexpr std::int32_t kClient = 3;         // 客户1
inline constexpr std::int32_t kDpi = 4;            // 编辑框dpi
inline constexpr std::int32_t kDpiLabel = 5;       // 标签6
inline constexpr std::int32_t kUnit = 6;           // 组合框单位
inline constexpr std::int32_t kUnitLabel = 7;      // 标签5
inline constexpr std::int32_t kContactPicture = 8; // 图片联系
inline constexpr std::int32_t kContactLink = 9;    // 链接联系
inline constexpr std::int32_t kBand = 10;          // 图片框
inline constexpr std::int32_t kBrandTimer = 11;    // 时钟官网
inline constexpr std::int32_t kBandRule = 12;      // 标签10
inline constexpr std::int32_t kBrandPicture = 13;  // 图片Kelvra软件
inline constexpr std::int32_t kHomeLink = 14;      // 链接软件主页
inline constexpr std::int32_t kHomePicture = 15;   // 图片软件主页
inline constexpr std::int32_t kPanel = 16;         // 画板
inline constexpr std::int32_t kBasis = 17;         // 组合框基准
inline constexpr std::int32_t kBasisLabel = 18;    // 标签4
inline constexpr std::int32_t kFormatLabel = 19;   // 标签3
inline constexpr std::int32_t kFormat = 20;        // 组合框保存格式
inline constexpr std::int32_t kHeightLabel = 21;   // 标签2
inline constexpr std::int32_t kHeight = 22;        // 编辑框高
inline constexpr std::int32_t kWidth = 23;         // 编辑框宽
inline constexpr std::int32_t kWidthLabel = 24;    // 标签1
inline constexpr std::int32_t kRunButton = 25;     // 按钮修改
}  // namespace main_id

// The caption of the run button while no run is going on.
inline constexpr const char* kRunCaption = "选择照片批量修改";
// The section of the settings file that holds the main window's inputs.
inline constexpr const char* kMainSection = "主界面";

// What the main window's events run. Each is optional: an empty one leaves
// the event unbound (the tests bind only what they look at).
struct MainWindowHandlers {
  std::function<void(WindowHandle)> created;
  // Returns false to keep the window open.
  std::function<bool(WindowHandle)> closeQuery;
  std::function<void(WindowHandle)> runClicked;
  std::function<void(WindowHandle)> unitChosen;
  std::function<void(WindowHandle, const std::string& droppedPaths)> filesDropped;
  std::function<void(WindowHandle)> brandTick;
  std::function<void(WindowHandle)> tipClicked;
  std::function<void(WindowHandle)> contactClicked;
  std::function<void(WindowHandle)> homeClicked;
  std::function<void(WindowHandle)> brandClicked;
  std::function<void(WindowHandle)> brandRightPressed;
};

WindowDef MainWindowDef(const MainWindowHandlers& handlers);

}  // namespace trimbrel
