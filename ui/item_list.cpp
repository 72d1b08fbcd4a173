#include "ui/item_list.hpp"

#include <cstddef>
#include <cstdint>

#include "platform/platform.hpp"

namespace trimbrel {
namespace {

void PutU16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void PutU32(Bytes& out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

}  // namespace

Bytes EncodeItemList(const std::vector<std::string>& items) {
  Bytes out;
  std::size_t total = 6;
  for (const auto& item : items) total += 4 + item.size();
  out.reserve(total);
  const auto count = static_cast<std::uint32_t>(items.size());
  if (count >= 0xFFFF) {
    PutU16(out, 0xFFFF);
    PutU32(out, count);
  } else {
    PutU16(out, count);
  }
  for (const auto& item : items) {
    PutU32(out, static_cast<std::uint32_t>(item.size()));
    out.insert(out.end(), item.begin(), item.end());
  }
  return out;
}

std::optional<std::vector<std::string>> DecodeItemList(const Bytes& bytes) {
  ByteReader in(bytes);
  std::optional<std::uint32_t> count = in.u16le();
  if (!count) return std::nullopt;
  if (*count == 0xFFFF) {
    count = in.u32le();
    if (!count) return std::nullopt;
  }
  // Every item needs at least its length field: a count beyond that is a
  // damaged block, refused before anything is reserved.
  if (*count > in.remaining() / 4) return std::nullopt;
  std::vector<std::string> items;
  items.reserve(*count);
  for (std::uint32_t i = 0; i < *count; ++i) {
    auto length = in.u32le();
    if (!length) return std::nullopt;
    auto item = in.bytes(*length);
    if (!item) return std::nullopt;
    items.emplace_back(item->begin(), item->end());
  }
  return items;
}

}  // namespace trimbrel
