// A window is described as plain data and turned into live controls by
// loadWindow. Definition texts are UTF-8, as written in the source; the
// property interface hands them out as GBK.
//
// The fields are declared in the order a table row is read, so a window is
// written with designated initializers, one control per row:
//   {.id = 4, .name = "编辑框dpi", .kind = Kind::EditBox,
//    .left = 680, .top = 320, .width = 144, .height = 48, .tabStop = true,
//    .text = "150", .align = Align::Center, .border = Border::Sunken,
//    .font = FontDef{.face = "宋体", .pixelHeight = 43}},
// Rows come in definition order: the order listControls walks, the reverse
// of the Tab order among equal focus keys, and the first row on top.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/control_types.hpp"

namespace trimbrel {

// Standard mouse pointers. Property 7 carries one as four little-endian
// bytes; empty bytes mean the default pointer.
enum class Pointer : std::int32_t {
  Default = 0,
  Arrow = 1,
  IBeam = 2,
  Wait = 3,
  Cross = 4,
  Hand = 5,
  SizeAll = 6,
  Forbidden = 7,
};

struct FontDef {
  std::string face;         // "宋体" falls back to the CJK fonts installed
  std::int32_t pixelHeight = 0;  // character height; 0 keeps the default size
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
};

enum class Align { Left, Center, Right };
enum class Border { None, Sunken, StaticEdge };

struct ControlDef {
  std::int32_t id = 0;      // unique in the window, not 0
  std::string name;         // unique in the window
  Kind kind = Kind::Label;
  std::string parent;       // name of a container control; empty: the window
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool visible = true;
  bool disabled = false;
  bool tabStop = false;
  std::int32_t focusKey = 0;
  std::string tag;
  Pointer pointer = Pointer::Default;

  // Edit content, button / label / hyperlink caption, combo edit text.
  std::string text;
  // Combo box, list box and check list box items, and their current item.
  std::vector<std::string> items;
  std::int32_t current = -1;
  std::vector<std::int32_t> selected;  // list box, several selections
  std::vector<std::int32_t> ticked;    // check list box
  bool checked = false;                // check box, radio box

  bool multiLine = false;   // edit box: several lines, wrapped
  bool scrollBars = false;  // multi-line edit box
  bool readOnly = false;    // edit box
  bool editable = false;    // combo box with an edit field
  bool multiSelect = false; // list box
  Align align = Align::Left;
  Border border = Border::None;
  std::optional<FontDef> font;  // none: the window's font
  std::uint32_t textColour = kDefaultColour;
  std::uint32_t backColour = kDefaultColour;  // default: the parent shows through

  // Hyperlink.
  std::int32_t linkType = 1;  // 0 e-mail, else web address
  std::string address;
  std::string email;
  std::uint32_t hoverColour = kDefaultColour;
  std::uint32_t visitedColour = kDefaultColour;

  std::int32_t interval = 0;  // timer, milliseconds
  std::uint32_t colour = 0;   // colour picker

  // Picture box: picture. Picture button: the four state pictures. Encoded
  // picture files (PNG, GIF, BMP, JPEG) as the image reader understands them.
  Bytes picture;
  Bytes hoverPicture;
  Bytes pressedPicture;
  Bytes disabledPicture;

  // Drop target switches.
  bool acceptText = false;
  bool acceptHtml = false;
  bool acceptAddress = false;
  bool acceptFiles = false;

  std::map<EventCode, Handler> events;
};

struct WindowDef {
  std::string name;
  std::string title;
  // Outer size, frame and title bar included.
  std::int32_t width = 400;
  std::int32_t height = 300;
  std::int32_t left = 50;
  std::int32_t top = 50;
  bool centred = true;       // ignores left and top
  bool resizable = false;
  bool minimizeButton = true;
  bool maximizeButton = false;
  bool escCloses = false;
  bool enterMovesFocus = false;
  bool visible = true;
  std::uint32_t backColour = kDefaultColour;
  std::string iconPath;      // a Qt resource or file path; empty: none
  std::optional<FontDef> font;
  std::vector<ControlDef> controls;  // definition order: first on top
  std::map<EventCode, Handler> events;
};

}  // namespace trimbrel
