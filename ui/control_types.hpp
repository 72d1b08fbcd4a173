// The vocabulary every caller of the control layer shares: control kinds,
// property values, control references and event handlers. Nothing here
// depends on Qt, so the handlers and the settings glue can use it as plain
// data. Texts crossing this interface are GBK byte strings.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace trimbrel {

enum class Kind {
  window,
  EditBox,
  Button,
  ComboBox,
  Label,
  PicBox,
  PicBtn,
  HyperLinker,
  DrawPanel,
  Timer,
  Client,
  DropTarget,
  CheckBox,
  RadioBox,
  ListBox,
  ChkListBox,
  ColorPicker,
};

// The kind's Chinese word as GBK bytes ("编辑框" for EditBox).
std::string KindWord(Kind kind);
// False for the kinds that live without a widget of their own.
bool IsWindowed(Kind kind);

using Bytes = std::vector<std::uint8_t>;

// A property value: integer (also choice, boolean, colour), GBK text, or
// bytes. monostate stands for "no such property" on reading and for "no
// text" on writing.
using Value = std::variant<std::monostate, std::int32_t, std::string, Bytes>;

// Colours are 0x00BBGGRR; this value means the system's own colour.
inline constexpr std::uint32_t kDefaultColor = 0xFF000000u;

// A loaded window; 0 is none. Handles are never reused within a process.
using WindowHandle = std::uint32_t;

// A control of a loaded window. The id is the one fixed in the window
// definition; id 0 addresses the window itself.
struct ControlRef {
  WindowHandle window = 0;
  std::int32_t id = 0;
  friend bool operator==(const ControlRef&, const ControlRef&) = default;
};
inline constexpr std::int32_t kWindowSelf = 0;

// Common property numbers; 8 and up belong to the kind.
namespace prop {
inline constexpr int kLeft = 0;
inline constexpr int kTop = 1;
inline constexpr int kWidth = 2;
inline constexpr int kHeight = 3;
inline constexpr int kTag = 4;
inline constexpr int kVisible = 5;
inline constexpr int kDisabled = 6;
inline constexpr int kMousePointer = 7;

inline constexpr int kEditContent = 8;
inline constexpr int kButtonCaption = 10;
inline constexpr int kComboEditText = 9;
inline constexpr int kComboCurrent = 19;
inline constexpr int kComboItems = 20;
inline constexpr int kLinkType = 9;
inline constexpr int kLinkEmail = 10;
inline constexpr int kLinkAddress = 11;
inline constexpr int kTimerInterval = 8;
inline constexpr int kChecked = 18;
inline constexpr int kListItems = 17;
inline constexpr int kChkListCurrent = 14;
inline constexpr int kChkListItems = 15;
inline constexpr int kPickerColor = 8;
inline constexpr int kDropText = 8;
inline constexpr int kDropHtml = 9;
inline constexpr int kDropAddress = 10;
inline constexpr int kDropFiles = 11;
}  // namespace prop

// Event numbers. Kind events count from 0; the negative ones belong to every
// kind with a widget.
namespace event {
inline constexpr int kCreated = 0;      // window
inline constexpr int kCloseQuery = 1;   // window
inline constexpr int kClicked = 0;      // Button, PicBtn
inline constexpr int kChanged = 0;      // EditBox
inline constexpr int kItemChosen = 0;   // ComboBox
inline constexpr int kEditTextChanged = 1;  // ComboBox
inline constexpr int kTick = 0;         // Timer
inline constexpr int kTextDropped = 0;  // DropTarget
inline constexpr int kHtmlDropped = 1;
inline constexpr int kAddressDropped = 2;
inline constexpr int kFilesDropped = 3;

inline constexpr int kLeftDown = -1;
inline constexpr int kLeftUp = -2;
inline constexpr int kLeftDoubleClick = -3;
inline constexpr int kRightDown = -4;
inline constexpr int kRightUp = -5;
inline constexpr int kMouseMove = -6;
inline constexpr int kGotFocus = -7;
inline constexpr int kLostFocus = -8;
inline constexpr int kKeyDown = -9;
inline constexpr int kKeyUp = -10;
inline constexpr int kCharacter = -11;
inline constexpr int kWheel = -12;
}  // namespace event

// Key state bits of mouse, key and wheel events.
inline constexpr std::int32_t kKeyCtrl = 1;
inline constexpr std::int32_t kKeyShift = 2;
inline constexpr std::int32_t kKeyAlt = 4;

// What a handler receives. Mouse events: a = x, b = y (client coordinates of
// the control), c = key state. Key events: a = key code, c = key state.
// Character: a = the character's code point. Wheel: a = steps, c = key state.
// Drop events: text (GBK; for files the native path bytes).
struct EventArgs {
  ControlRef source;
  int event = 0;
  std::int32_t a = 0;
  std::int32_t b = 0;
  std::int32_t c = 0;
  std::string text;
};

// No result lets the control go on as usual; 0 means false (keep the window
// open, consume the message, swallow the character); any other value means
// true, or for the character event the character to type instead.
using Handler = std::function<std::optional<std::int32_t>(const EventArgs&)>;

}  // namespace trimbrel
