// The control layer: windows built from definitions, controls addressed by
// number, the drop target. Other folders include this header only.
#pragma once

#include "ui/control_access.hpp"
#include "ui/control_types.hpp"
#include "ui/item_list.hpp"
#include "ui/open_address.hpp"
#include "ui/qt_text.hpp"
#include "ui/window_def.hpp"
