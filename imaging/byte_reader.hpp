// Bounds-checked reading of file data: every read returns nothing once the
// data ends, so format code never indexes a buffer directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace trimbrel {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::size_t position() const { return pos_; }
  std::size_t size() const { return data_.size(); }
  std::size_t remaining() const { return data_.size() - pos_; }
  bool atEnd() const { return pos_ >= data_.size(); }

  bool seek(std::size_t position) {
    if (position > data_.size()) return false;
    pos_ = position;
    return true;
  }
  bool skip(std::size_t count) {
    if (count > remaining()) return false;
    pos_ += count;
    return true;
  }

  std::optional<std::uint8_t> u8() {
    if (remaining() < 1) return std::nullopt;
    return data_[pos_++];
  }
  std::optional<std::uint16_t> u16le() {
    if (remaining() < 2) return std::nullopt;
    std::uint16_t v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  std::optional<std::uint32_t> u32le() {
    if (remaining() < 4) return std::nullopt;
    std::uint32_t v = static_cast<std::uint32_t>(data_[pos_]) |
                      (static_cast<std::uint32_t>(data_[pos_ + 1]) << 8) |
                      (static_cast<std::uint32_t>(data_[pos_ + 2]) << 16) |
                      (static_cast<std::uint32_t>(data_[pos_ + 3]) << 24);
    pos_ += 4;
    return v;
  }
  std::optional<std::int32_t> i32le() {
    auto v = u32le();
    if (!v) return std::nullopt;
    return static_cast<std::int32_t>(*v);
  }
  // A view of the next `count` bytes, or nothing when fewer remain.
  std::optional<std::span<const std::uint8_t>> bytes(std::size_t count) {
    if (count > remaining()) return std::nullopt;
    auto view = data_.subspan(pos_, count);
    pos_ += count;
    return view;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

}  // namespace trimbrel
