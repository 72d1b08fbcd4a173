// The main window's handlers and the state they share: the settings file,
// the tip window, the brand picture's direction and the run in progress.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "desktop/desktop_hooks.hpp"
#include "desktop/window_run.hpp"
#include "settings/config_module.hpp"
#include "ui/ui.hpp"

namespace trimbrel {

class MainController {
 public:
  MainController(ConfigModule& config, DesktopHooks hooks);
  ~MainController();
  MainController(const MainController&) = delete;
  MainController& operator=(const MainController&) = delete;

  // Loads the main window (its created handler restores the inputs); 0 when
  // it cannot be built.
  WindowHandle open();
  WindowHandle mainWindow() const { return main_; }
  WindowHandle tipWindow() const { return IsWindowLoaded(tip_) ? tip_ : 0; }
  bool running() const { return run_.running(); }

  // The same as the title bar's close button: saves and closes, or, during
  // a run, lets the photos in progress finish first.
  void requestQuit();

  // Handlers, public so tests can drive them as the events would.
  void onCreated(WindowHandle window);
  bool onCloseQuery(WindowHandle window);
  void applyUnitState();
  void onRunClicked();
  void onFilesDropped(const std::string& droppedPaths);
  void openTipWindow();
  void bounceBrandPicture();
  void stopBrandPicture();

  // Starts a run of these photos from the window, as a drop does; an empty
  // list opens the file dialog.
  void runPhotos(std::vector<std::string> photos);
  // Photos handed over at start (a file manager's "Open with"): they take
  // the drop's way once the event loop has shown the window. An empty list
  // does nothing.
  void runPhotosOnceShown(std::vector<std::string> photos);

 private:
  void runDroppedPhotos(std::vector<std::string> photos);
  TrimSettings readInputs() const;
  void save();
  void onPhotoStarted(int total, int index, const std::string& fileName);
  void onRunFinished(const BatchReport& report);
  void setRunCaption(const std::string& utf8Caption);

  ConfigModule& config_;
  DesktopHooks hooks_;
  WindowRun run_;
  WindowHandle main_ = 0;
  WindowHandle tip_ = 0;
  bool brandMovesLeft_ = false;
  bool closeAfterRun_ = false;
  bool closing_ = false;  // set by the close query that saves: no run starts after it
  std::string lastFolder_;  // where the dialog opens; empty: the current directory
};

// Splits a dropped or chosen list at CR LF: empty pieces between two
// separators stay, an empty piece at the end is dropped.
std::vector<std::string> SplitPathList(const std::string& text);

}  // namespace trimbrel
