// What the window says about a run: the run button's caption while it goes
// on, the message when it ends. Kept free of Qt, so the wording and the list
// of lost photos can be checked without a window.
#pragma once

#include <string>

#include "app/app.hpp"

namespace trimbrel {

struct CompletionMessage {
  std::string title;  // UTF-8
  std::string text;   // UTF-8
  bool warning = false;  // some photo could not be read or written
};

inline constexpr std::size_t kListedFailuresMax = 20;

// "修剪完成！" alone when every photo went through; otherwise the same words
// followed by the photos that did not, with their reasons (at most
// kListedFailuresMax, then how many more), as a warning.
CompletionMessage ComposeCompletion(const BatchReport& report);

// A refused run (a target size that cannot be made, no folder for the results).
CompletionMessage ComposeRefusal(const std::string& reason);

// The caption of the run button while photo `index` of `total` is trimmed.
std::string ProgressCaption(int total, int index, const std::string& fileName);

}  // namespace trimbrel
