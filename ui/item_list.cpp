#include "ui/item_list.hpp"

#include <cstddef>
#include <cstdint>

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

class Cursor {
 public:
  explicit Cursor(const Bytes& bytes) : bytes_(bytes) {}
  std::size_t left() const { return bytes_.size() - pos_; }
  std::optional<std::uint32_t> u16() {
    if (left() < 2) return std::nullopt;
    std::uint32_t v = bytes_[pos_] | (std::uint32_t{bytes_[pos_ + 1]} << 8);
    pos_ += 2;
    return v;
  }
  std::optional<std::uint32_t> u32() {
    auto lo = u16();
    if (!lo) return std::nullopt;
    auto hi = u16();
    if (!hi) return std::nullopt;
    return *lo | (*hi << 16);
  }
  std::optional<std::string> text(std::size_t n) {
    if (left() < n) return std::nullopt;
    std::string s(reinterpret_cast<const char*>(bytes_.data() + pos_), n);
    pos_ += n;
    return s;
  }

 private:
  const Bytes& bytes_;
  std::size_t pos_ = 0;
};

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
  Cursor in(bytes);
  auto count = in.u16();
  if (!count) return std::nullopt;
  if (*count == 0xFFFF) {
    count = in.u32();
    if (!count) return std::nullopt;
  }
  // Every item needs at least its length field: a count beyond that is a
  // damaged block, refused before anything is reserved.
  if (*count > in.left() / 4) return std::nullopt;
  std::vector<std::string> items;
  items.reserve(*count);
  for (std::uint32_t i = 0; i < *count; ++i) {
    auto length = in.u32();
    if (!length) return std::nullopt;
    auto item = in.text(*length);
    if (!item) return std::nullopt;
    items.push_back(std::move(*item));
  }
  return items;
}

}  // namespace trimbrel
