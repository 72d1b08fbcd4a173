// Where writers put their bytes: memory or a file, one interface. A sink
// remembers the first failure; writers check `failed()` at the end.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "platform/platform.hpp"

namespace trimbrel {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(std::span<const std::uint8_t> bytes) = 0;
  virtual void flush() {}
  virtual bool failed() const = 0;

  void put(std::uint8_t byte) { write(std::span<const std::uint8_t>(&byte, 1)); }
  void putWordLe(std::uint16_t v) {
    std::uint8_t b[2];
    StoreLe16(b, v);
    write(b);
  }
  void putDwordLe(std::uint32_t v) {
    std::uint8_t b[4];
    StoreLe32(b, v);
    write(b);
  }
};

class MemorySink final : public ByteSink {
 public:
  void write(std::span<const std::uint8_t> bytes) override {
    data_.insert(data_.end(), bytes.begin(), bytes.end());
  }
  bool failed() const override { return false; }
  const std::vector<std::uint8_t>& data() const { return data_; }
  std::vector<std::uint8_t> take() { return std::move(data_); }

 private:
  std::vector<std::uint8_t> data_;
};

// Writes to an open stdio stream it does not own, and keeps what the system
// said about the first failure.
class FileSink final : public ByteSink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  void write(std::span<const std::uint8_t> bytes) override {
    if (error_ != 0 || bytes.empty()) return;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) fail();
  }
  void flush() override {
    if (error_ != 0) return;
    errno = 0;
    if (std::fflush(file_) != 0) fail();
  }
  bool failed() const override { return error_ != 0; }
  // The errno of the first failure (EIO when the stream gave none), or 0.
  int error() const { return error_; }

 private:
  void fail() { error_ = errno != 0 ? errno : EIO; }

  std::FILE* file_;
  int error_ = 0;
};

}  // namespace trimbrel
