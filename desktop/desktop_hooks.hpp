// What the window asks of the desktop: a file dialog, the file manager, a
// message box, the browser. Tests put stand-ins here, so a run can be
// followed offscreen without a person to dismiss anything.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "desktop/completion_message.hpp"

class QWidget;

namespace trimbrel {

struct DesktopHooks {
  // Native paths of the chosen photos, in order; empty when cancelled.
  // `startFolder` is where the dialog opens.
  std::function<std::vector<std::string>(QWidget* parent, const std::string& startFolder)> chooseFiles;
  // Opens the folder in the file manager, without waiting for it.
  std::function<void(const std::string& folder)> revealFolder;
  // Shows the message and returns once it is dismissed.
  std::function<void(const CompletionMessage& message)> showMessage;
  // Opens a web address (UTF-8).
  std::function<void(const std::string& address)> openLink;
};

DesktopHooks DefaultDesktopHooks();

// The photo dialog's filters, the first one preselected; matched without
// regard to case, so camera names such as IMG_0001.JPG show.
std::vector<std::string> PhotoDialogFilters();
inline constexpr const char* kPhotoDialogTitle = "选择多个文件：";

}  // namespace trimbrel
