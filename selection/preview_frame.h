#pragma once
// One encoded picture on its way from the preview's reader to its decoder:
// the frame header and the payload bytes in one heap block.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

struct FrameHeader {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t payloadLength = 0;
  std::int32_t kind = 0;

  // A block with room for payloadLength bytes behind the header; null when
  // the memory cannot be had (the reader then drops the frame).
  static std::unique_ptr<FrameHeader> Allocate(std::int32_t payloadLength) {
    if (payloadLength < 0) return nullptr;
    std::unique_ptr<FrameHeader> block(new (static_cast<std::size_t>(payloadLength)) FrameHeader);
    if (block) block->payloadLength = payloadLength;
    return block;
  }

  std::uint8_t* Payload() { return reinterpret_cast<std::uint8_t*>(this + 1); }
  const std::uint8_t* Payload() const { return reinterpret_cast<const std::uint8_t*>(this + 1); }

  static void* operator new(std::size_t size, std::size_t payloadBytes) noexcept {
    return ::operator new(size + payloadBytes, std::nothrow);
  }
  static void operator delete(void* block) noexcept { ::operator delete(block); }
};

static_assert(sizeof(FrameHeader) == 16, "four 32-bit fields, then the payload");
