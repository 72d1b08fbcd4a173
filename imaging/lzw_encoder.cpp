#include "imaging/lzw_encoder.hpp"

#include <span>

namespace trimbrel {

bool LzwEncoder::compressLzw(PixelSource& pixels, ByteSink& out) {
  out_ = &out;
  codeWidth_ = 9;
  maxCode_ = (1 << codeWidth_) - 1;
  clearFlag_ = false;
  accumulator_ = 0;
  bitCount_ = 0;
  packetCount_ = 0;
  freeCode_ = kFirstFreeCode;

  int ent = pixels.nextPixel();
  clearHash();
  emitCode(kClearCode);
  if (ent < 0) {  // no pixels at all: a clear code and the end code still make valid data
    emitCode(kEndCode);
    out_ = nullptr;
    return !out.failed();
  }

  for (int c = pixels.nextPixel(); c >= 0; c = pixels.nextPixel()) {
    const std::int32_t fcode = (static_cast<std::int32_t>(c) << 12) + ent;
    int i = (c << kHashShift) ^ ent;
    if (htab_[i] == fcode) {
      ent = codetab_[i];
      continue;
    }
    if (htab_[i] >= 0) {
      // Secondary probe. It stops at a slot holding 0 as well as at an empty
      // one, so the entry for "0 after string 0" can be overwritten later and
      // is then added again: slightly weaker compression, same decoded data.
      // The files depend on it byte for byte, so it stays.
      const int displacement = (i == 0) ? 1 : kHashSize - i;
      bool found = false;
      do {
        i -= displacement;
        if (i < 0) i += kHashSize;
        if (htab_[i] == fcode) {
          found = true;
          break;
        }
      } while (htab_[i] > 0);
      if (found) {
        ent = codetab_[i];
        continue;
      }
    }
    emitCode(ent);
    if (freeCode_ < kCodeLimit) {
      codetab_[i] = static_cast<std::uint16_t>(freeCode_++);
      htab_[i] = fcode;
    } else {
      // The table is full: start over so the decoder's table stays in step.
      clearHash();
      freeCode_ = kFirstFreeCode;
      clearFlag_ = true;
      emitCode(kClearCode);
    }
    ent = c;
  }
  emitCode(ent);
  emitCode(kEndCode);
  out_ = nullptr;
  return !out.failed();
}

void LzwEncoder::clearHash() { htab_.fill(-1); }

// Appends one code to the bit stream and widens the codes once the decoder
// will have filled the current width.
void LzwEncoder::emitCode(int code) {
  accumulator_ &= (std::uint32_t{1} << bitCount_) - 1;
  if (bitCount_ > 0) {
    accumulator_ |= static_cast<std::uint32_t>(code) << bitCount_;
  } else {
    accumulator_ = static_cast<std::uint32_t>(code);
  }
  bitCount_ += codeWidth_;
  while (bitCount_ >= 8) {
    putByte(static_cast<std::uint8_t>(accumulator_ & 0xFF));
    accumulator_ >>= 8;
    bitCount_ -= 8;
  }

  if (freeCode_ > maxCode_ || clearFlag_) {
    if (clearFlag_) {
      codeWidth_ = 9;
      maxCode_ = (1 << codeWidth_) - 1;
      clearFlag_ = false;
    } else {
      ++codeWidth_;
      maxCode_ = (codeWidth_ == 12) ? kCodeLimit : (1 << codeWidth_) - 1;
    }
  }

  if (code == kEndCode) {
    while (bitCount_ > 0) {
      putByte(static_cast<std::uint8_t>(accumulator_ & 0xFF));
      accumulator_ >>= 8;
      bitCount_ -= 8;
    }
    bitCount_ = 0;
    flushPacket();
    out_->flush();
  }
}

void LzwEncoder::putByte(std::uint8_t byte) {
  packet_[1 + packetCount_++] = byte;
  if (packetCount_ >= kMaxPacket) flushPacket();
}

// One data sub-block: its length byte, then its bytes.
void LzwEncoder::flushPacket() {
  if (packetCount_ == 0) return;
  packet_[0] = static_cast<std::uint8_t>(packetCount_);
  out_->write(std::span<const std::uint8_t>(packet_.data(), static_cast<std::size_t>(packetCount_) + 1));
  packetCount_ = 0;
}

}  // namespace trimbrel
