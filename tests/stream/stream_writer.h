#pragma once
// The recorder's side of the preview stream: video packets (start code
// 00 00 01 F3, 128-byte header) and other packets (00 00 01 F9, 48-byte
// header) around real encoded pictures.

#include "tests/stream/frame_encoder.h"

#include <cstdint>
#include <vector>

namespace stream_fixture {

using Bytes = std::vector<std::uint8_t>;

// Codec codes the recorder writes at offset 108 of a video header.
constexpr std::uint32_t kCodecCodeMpeg4 = 101;
constexpr std::uint32_t kCodecCodeMjpeg = 103;
constexpr std::uint32_t kCodecCodeH264 = 104;
std::uint32_t CodecCode(Codec codec);

struct VideoFields {
  std::uint32_t codecCode = kCodecCodeMjpeg;
  std::uint16_t channelMask = 1;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint32_t seconds = 0;
  std::uint32_t microseconds = 0;
  // Written as the header length; the header itself is always 128 bytes,
  // so a test can announce a wrong length.
  std::uint32_t headerLength = 128;
  // Written as the payload length when set, else the payload's real size.
  std::int64_t payloadLength = -1;
};

struct OtherFields {
  std::uint32_t typeCode = 201;
  std::uint32_t seconds = 0;
  std::uint32_t microseconds = 0;
  std::uint32_t headerLength = 48;
  std::int64_t payloadLength = -1;
};

Bytes VideoPacket(const VideoFields& fields, const Bytes& payload);
Bytes OtherPacket(const OtherFields& fields, const Bytes& payload);

struct StreamOptions {
  std::uint16_t channelMask = 1;
  // After every otherEvery-th video packet an other packet (type 201) of a
  // few bytes follows; 0 for none.
  int otherEvery = 0;
  // Time stamp of the first picture; pictures follow at 25 per second.
  std::uint32_t firstSecond = 1336897200;
  EncoderOptions encoder;
};

// The bytes of count video packets of the moving pattern in the given codec
// and size, ready to be served as the stream request's answer.
Bytes VideoStream(Codec codec, int width, int height, int count, const StreamOptions& options = {});

} // namespace stream_fixture
