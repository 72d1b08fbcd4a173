// Variable-width LZW for GIF image data: codes of 9 to 12 bits packed from
// the least significant bit, in data sub-blocks of at most 254 bytes.
#pragma once

#include <array>
#include <cstdint>

#include "imaging/byte_sink.hpp"

namespace trimbrel {

// Hands the compressor one palette index at a time; -1 ends the data.
class PixelSource {
 public:
  virtual ~PixelSource() = default;
  virtual int nextPixel() = 0;
};

// Holds the hash and code tables so that one encoder compresses many
// images without reallocating them; `compressLzw` resets them each time.
class LzwEncoder {
 public:
  static constexpr int kHashSize = 5003;
  static constexpr int kHashShift = 4;
  static constexpr int kClearCode = 256;
  static constexpr int kEndCode = 257;
  static constexpr int kFirstFreeCode = 258;
  static constexpr int kCodeLimit = 4096;
  static constexpr int kMaxPacket = 254;

  // Writes the compressed data as sub-blocks, without the minimum code size
  // byte and without the block terminator. Flushes `out` at the end code and
  // returns false when the sink reports a failure.
  bool compressLzw(PixelSource& pixels, ByteSink& out);

 private:
  void clearHash();
  void emitCode(int code);
  void putByte(std::uint8_t byte);
  void flushPacket();

  std::array<std::int32_t, kHashSize> htab_{};
  std::array<std::uint16_t, kHashSize> codetab_{};
  int codeWidth_ = 9;
  int maxCode_ = 511;
  int freeCode_ = kFirstFreeCode;
  bool clearFlag_ = false;
  std::uint32_t accumulator_ = 0;
  int bitCount_ = 0;
  // packet_[0] is reserved for the length byte, so a sub-block goes out in one write.
  std::array<std::uint8_t, kMaxPacket + 1> packet_{};
  int packetCount_ = 0;
  ByteSink* out_ = nullptr;
};

}  // namespace trimbrel
