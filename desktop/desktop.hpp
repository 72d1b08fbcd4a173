// The window program: the main and tip windows with their handlers, the
// window's batch host, the binding of controls to the settings file, and
// start-up. Other folders include this header only.
#pragma once

#include "desktop/addresses.hpp"
#include "desktop/completion_message.hpp"
#include "desktop/desktop_hooks.hpp"
#include "desktop/ini_location.hpp"
#include "desktop/main_controller.hpp"
#include "desktop/main_window.hpp"
#include "desktop/persist_controls.hpp"
#include "desktop/tip_window.hpp"
#include "desktop/window_program.hpp"
