// The platform layer: what the rest of the program needs from the operating
// system and the shared helpers every folder uses. Other folders include this
// header only.
#pragma once

#include "platform/byte_order.hpp"
#include "platform/byte_reader.hpp"
#include "platform/checked_size.hpp"
#include "platform/file_reader.hpp"
#include "platform/file_system.hpp"
#include "platform/gbk.hpp"
#include "platform/interrupt_cleanup.hpp"
#include "platform/memory.hpp"
#include "platform/numbers.hpp"
#include "platform/result.hpp"
#include "platform/system_reason.hpp"
