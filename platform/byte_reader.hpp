// Bounds-checked reading of file data: every read returns nothing once the
// data ends, so format code never indexes a buffer directly. Like a ByteSink,
// a reader remembers that something failed: a header is read field by field
// with the get…() forms (0 past the end) and checked once with `failed()`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/byte_order.hpp"

namespace trimbrel {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::size_t position() const { return pos_; }
  std::size_t size() const { return data_.size(); }
  std::size_t remaining() const { return data_.size() - pos_; }
  bool atEnd() const { return pos_ >= data_.size(); }
  // Whether any read, seek or skip has asked for more than there was.
  bool failed() const { return failed_; }

  bool seek(std::size_t position) {
    if (position > data_.size()) return fail();
    pos_ = position;
    return true;
  }
  bool skip(std::size_t count) {
    if (count > remaining()) return fail();
    pos_ += count;
    return true;
  }

  std::optional<std::uint8_t> u8() {
    if (remaining() < 1) return failNothing();
    return data_[pos_++];
  }
  std::optional<std::uint16_t> u16le() {
    if (remaining() < 2) return failNothing();
    const std::uint16_t v = LoadLe16(data_.data() + pos_);
    pos_ += 2;
    return v;
  }
  std::optional<std::uint32_t> u32le() {
    if (remaining() < 4) return failNothing();
    const std::uint32_t v = LoadLe32(data_.data() + pos_);
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
    if (count > remaining()) return failNothing();
    auto view = data_.subspan(pos_, count);
    pos_ += count;
    return view;
  }

  // The same reads for fields checked together later: 0 past the end. A
  // failed read moves nothing, so what is read after it means nothing either;
  // check `failed()` before using any of them.
  std::uint8_t get() { return u8().value_or(0); }
  std::uint16_t getWordLe() { return u16le().value_or(0); }
  std::uint32_t getDwordLe() { return u32le().value_or(0); }
  std::int32_t getLongLe() { return i32le().value_or(0); }

 private:
  bool fail() {
    failed_ = true;
    return false;
  }
  std::nullopt_t failNothing() {
    failed_ = true;
    return std::nullopt;
  }

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace trimbrel
