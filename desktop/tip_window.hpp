// The tip window as data: its pictures and the thank-you text. It has no
// handlers.
#pragma once

#include "ui/ui.hpp"

namespace trimbrel {

WindowDef TipWindowDef();

}  // namespace trimbrel
