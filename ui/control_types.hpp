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

// The kinds keep the names the control interface gives them, the window's
// own lower-case one among them.
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
inline constexpr std::uint32_t kDefaultColour = 0xFF000000u;

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
inline constexpr int kPickerColour = 8;
inline constexpr int kDropText = 8;
inline constexpr int kDropHtml = 9;
inline constexpr int kDropAddress = 10;
inline constexpr int kDropFiles = 11;
}  // namespace prop

// Events. Each family is a type of its own, so a handler names the kind of
// event it is bound to; the values are the numbers the event interface
// gives them. A kind's own events count from 0, the input events that every
// kind with a widget has count down from -1.
enum class WindowEvent : std::int32_t { Created = 0, CloseQuery = 1 };
// Button, picture button, check box and radio box.
enum class ButtonEvent : std::int32_t { Clicked = 0 };
enum class EditEvent : std::int32_t { Changed = 0 };
enum class ComboEvent : std::int32_t { ItemChosen = 0, EditTextChanged = 1 };
enum class TimerEvent : std::int32_t { Tick = 0 };
enum class DropEvent : std::int32_t { TextDropped = 0, HtmlDropped = 1, AddressDropped = 2, FilesDropped = 3 };
enum class InputEvent : std::int32_t {
  LeftDown = -1, LeftUp = -2, LeftDoubleClick = -3, RightDown = -4, RightUp = -5, MouseMove = -6,
  GotFocus = -7, LostFocus = -8, KeyDown = -9, KeyUp = -10, Character = -11, Wheel = -12,
};

// Any one event: the key a handler is bound under.
using EventCode =
    std::variant<WindowEvent, ButtonEvent, EditEvent, ComboEvent, TimerEvent, DropEvent, InputEvent>;

// Whether controls of the kind raise the event.
bool HasEvent(Kind kind, const EventCode& event);

// Key state bits of mouse, key and wheel events.
inline constexpr std::int32_t kKeyCtrl = 1;
inline constexpr std::int32_t kKeyShift = 2;
inline constexpr std::int32_t kKeyAlt = 4;

// What a handler receives; each event fills the fields named for it.
struct EventArgs {
  ControlRef source;
  EventCode event;
  // Mouse events: the position in the control's client coordinates.
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t keyCode = 0;     // key down and up: the virtual key code
  std::int32_t character = 0;   // character: the typed character's code point
  std::int32_t wheelSteps = 0;  // wheel: notches turned (delta / 120), negative towards the user
  std::int32_t keys = 0;        // mouse, key and wheel events: the kKey* bits held
  std::string text;             // drop events: GBK text; for files the native path bytes
};

// No result lets the control go on as usual; 0 means false (keep the window
// open, consume the message, swallow the character); any other value means
// true, or for the character event the character to type instead.
using Handler = std::function<std::optional<std::int32_t>(const EventArgs&)>;

}  // namespace trimbrel
