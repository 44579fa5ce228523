#include "tests/stream/stream_writer.h"

#include <stdexcept>

namespace stream_fixture {

namespace {

void Put32(Bytes& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void Put16(Bytes& out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

Bytes Packet(std::uint8_t code, std::size_t blockSize, std::uint32_t headerLength,
             std::int64_t payloadLength, std::uint32_t seconds, std::uint32_t microseconds,
             const Bytes& payload) {
  Bytes out(blockSize, 0);
  out[2] = 1;
  out[3] = code;
  Put32(out, 4, headerLength);
  Put32(out, 8,
        static_cast<std::uint32_t>(payloadLength < 0 ? static_cast<std::int64_t>(payload.size())
                                                     : payloadLength));
  Put32(out, 20, seconds);
  Put32(out, 24, microseconds);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

} // namespace

std::uint32_t CodecCode(Codec codec) {
  switch (codec) {
  case Codec::Mjpeg:
    return kCodecCodeMjpeg;
  case Codec::Mpeg4:
    return kCodecCodeMpeg4;
  case Codec::H264:
    return kCodecCodeH264;
  }
  return kCodecCodeMjpeg;
}

Bytes VideoPacket(const VideoFields& f, const Bytes& payload) {
  Bytes out = Packet(0xF3, 128, f.headerLength, f.payloadLength, f.seconds, f.microseconds, payload);
  Put32(out, 108, f.codecCode);
  Put16(out, 112, f.channelMask);
  Put16(out, 114, f.width);
  Put16(out, 116, f.height);
  return out;
}

Bytes OtherPacket(const OtherFields& f, const Bytes& payload) {
  Bytes out = Packet(0xF9, 48, f.headerLength, f.payloadLength, f.seconds, f.microseconds, payload);
  Put32(out, 28, f.typeCode);
  return out;
}

Bytes VideoStream(Codec codec, int width, int height, int count, const StreamOptions& options) {
  if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF)
    throw std::invalid_argument("picture size out of range");
  FrameEncoder encoder(codec, width, height, options.encoder);
  Bytes stream;
  for (int i = 0; i < count; ++i) {
    VideoFields fields;
    fields.codecCode = CodecCode(codec);
    fields.channelMask = options.channelMask;
    fields.width = static_cast<std::uint16_t>(width);
    fields.height = static_cast<std::uint16_t>(height);
    fields.seconds = options.firstSecond + static_cast<std::uint32_t>(i / 25);
    fields.microseconds = static_cast<std::uint32_t>(i % 25) * 40000u;
    const Bytes picture = encoder.EncodePattern(i);
    if (picture.empty()) throw std::runtime_error("encoder held a picture back");
    const Bytes packet = VideoPacket(fields, picture);
    stream.insert(stream.end(), packet.begin(), packet.end());
    if (options.otherEvery > 0 && (i + 1) % options.otherEvery == 0) {
      OtherFields other;
      other.seconds = fields.seconds;
      other.microseconds = fields.microseconds;
      const Bytes extra = OtherPacket(other, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
      stream.insert(stream.end(), extra.begin(), extra.end());
    }
  }
  return stream;
}

} // namespace stream_fixture
