// Inside the control layer: the live state of a loaded window and its
// controls. Not part of the door; tests may include it.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/control_access.hpp"

class QTimer;
class QMimeData;
class QDragEnterEvent;
class QDragMoveEvent;
class QDragLeaveEvent;
class QDropEvent;
class QKeyEvent;
class QMouseEvent;
class QSinglePointEvent;
class QWheelEvent;

namespace trimbrel {

class WindowWidget;

struct Control {
  // The definition as changed by writes: what a rebuilt widget starts from.
  ControlDef stored;
  std::string nameGbk;
  std::string tagGbk;
  Bytes pointerBytes;
  int order = 0;  // place in the definition; -1 for the window itself
  QPointer<QWidget> widget;
  QTimer* timer = nullptr;
  bool dropRegistered = false;
  bool dragAccepted = false;
};

class WindowWidget : public QWidget {
  Q_OBJECT

 public:
  WindowWidget(const WindowDef& def, QWidget* owner);
  ~WindowWidget() override;

  WindowHandle handle() const { return handle_; }
  const WindowDef& def() const { return def_; }
  Control& self() { return *self_; }
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
  Control* control(std::int32_t id);
  Control* controlNamed(const std::string& utf8Name);
  QWidget* parentWidgetFor(const Control& c);

  // Builds every control; false when the definition does not hold together.
  bool build();
  // Places the window with its outer size, centred when asked.
  void placeOnScreen();
  void watch(Control& c);  // routes the input of c's widget and its inner parts to c's handlers
  void unwatch(const QWidget& old);  // forgets a replaced widget and its inner parts, and dead entries
  void rebuild(Control& c);
  bool closeByRequest();

  // The drop target registered on this window; it may belong to another
  // window, so it is looked up anew for every drag event.
  const ControlRef& dropTarget() const { return dropTarget_; }
  void setDropTarget(const ControlRef& target) { dropTarget_ = target; }

 protected:
  // The outer size and closing (window_build.cpp).
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Esc, Enter and Tab (window_keys.cpp).
  void keyPressEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  // The controls' input (event_routing.cpp).
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Drags, handed to the registered drop target (drop_target.cpp).
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void routeInput();
  bool filterControlEvent(Control& c, QObject* watched, QEvent* event);
  bool seenBefore(const Control& c, const QSinglePointEvent& event);
  bool routeMouse(Control& c, QWidget& receiver, QMouseEvent& event);
  bool routeWheel(Control& c, QWheelEvent& event);
  void routeFocus(Control& c, QWidget& receiver, bool gained);
  bool routeKey(Control& c, QWidget& receiver, QKeyEvent& event);
  void unregister();

  WindowHandle handle_ = 0;
  WindowDef def_;
  std::unique_ptr<Control> self_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::unordered_map<std::int32_t, Control*> byId_;
  ControlRef dropTarget_;
  // Widgets whose input goes to a control. The QPointer tells an entry whose
  // widget Qt deleted (a combo box's inner parts) from a live one.
  struct Watched {
    QPointer<QObject> object;
    Control* control = nullptr;
  };
  std::unordered_map<QObject*, Watched> watched_;
  bool replayingKey_ = false;
  bool frameFitted_ = false;  // the outer size was settled once the frame was known
  // The last mouse or wheel event reported, to recognise its copies.
  struct InputMark {
    const Control* control = nullptr;
    int type = 0;
    quint64 timestamp = 0;
    QPointF global;
  };
  InputMark innerMark_;
};

WindowWidget* FindWindowWidget(WindowHandle handle);

// Runs the handler bound to the event, if any (event_routing.cpp). A handler
// may close the window; callers that go on afterwards hold a QPointer.
std::optional<std::int32_t> FireEvent(WindowWidget& window, Control& c, EventArgs args);
bool HasHandler(const Control& c, const EventCode& event);

// Widget creation and state transfer (control_widgets.cpp).
QWidget* CreateControlWidget(WindowWidget& window, Control& c);
void CaptureLiveState(Control& c);  // copies what the user changed into stored
QFont FontFor(const std::optional<FontDef>& font, const QFont& fallback);
void ApplyPointer(QWidget& widget, const Bytes& pointer);
Bytes PointerBytes(Pointer pointer);
bool TakesFocus(Kind kind);

// The drop target's rules (drop_target.cpp).
struct OfferedFormats {
  bool text = false;
  bool files = false;
  bool address = false;
  bool html = false;
};
OfferedFormats Offered(const QMimeData& data);
bool DropAccepted(const ControlDef& switches, const OfferedFormats& offered);
Qt::DropAction DropEffect(bool accepted, Qt::KeyboardModifiers keys, Qt::DropActions allowed);
std::string FilesDropText(const QMimeData& data);  // native path bytes
void HandleDragEnter(WindowWidget& window, Control& target, QDragEnterEvent* event);
void HandleDragMove(WindowWidget& window, Control& target, QDragMoveEvent* event);
void HandleDragLeave(Control& target);
void HandleDrop(WindowWidget& window, Control& target, QDropEvent* event);

// The fallback when the desktop cannot open an address (open_address.cpp).
bool StartBrowser(const QString& address);

// Reading or writing through a window that is gone ends the process
// (fatal_error.cpp).
[[noreturn]] void FatalControlError(const char* utf8Detail);

}  // namespace trimbrel
