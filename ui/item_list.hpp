// The byte form of an item list, shared by combo boxes, list boxes and check
// list boxes and stored unchanged in side files: a 16-bit count (0xFFFF then a
// 32-bit count when there are 65535 or more), then per item a 32-bit length
// and the GBK bytes. Little-endian throughout.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/control_types.hpp"

namespace trimbrel {

Bytes EncodeItemList(const std::vector<std::string>& items);
// nullopt when the bytes are cut short or claim more than they hold.
std::optional<std::vector<std::string>> DecodeItemList(const Bytes& bytes);

}  // namespace trimbrel
