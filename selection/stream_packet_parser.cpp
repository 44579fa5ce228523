#include "selection/stream_packet_parser.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr std::uint8_t kStartVideo = 0xF3;
constexpr std::uint8_t kStartOther = 0xF9;

std::unique_ptr<std::uint8_t[]> Allocate(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]());
}

void Shift(std::uint8_t (&window)[4], std::uint8_t byte) {
  window[0] = window[1];
  window[1] = window[2];
  window[2] = window[3];
  window[3] = byte;
}

} // namespace

int StreamPacketParser::Init() {
  videoHeader = Allocate(kVideoHeaderSize);
  otherHeader = Allocate(kOtherHeaderSize);
  payload = Allocate(kPayloadSize);
  carry = Allocate(kCarrySize);
  Reset();
  return videoHeader && otherHeader && payload && carry ? 1 : 0;
}

void StreamPacketParser::Reset() {
  leftover = 0;
  pos = 0;
  length = 0;
  data = nullptr;
  state = kStateHunting;
  std::memset(startWindow, 0, sizeof startWindow);
  std::memset(lengthBytes, 0, sizeof lengthBytes);
  byteCount = 0;
  kind = 0;
  payloadLength = 0;
  headerLength = 0;
  payloadFill = 0;
  // A partial header must not leak into the fields of the next one.
  headerFill = 0;
  std::memset(header, 0, sizeof header);
  if (payload) std::memset(payload.get(), 0, kPayloadSize);
}

void StreamPacketParser::Destroy() {
  Reset();
  videoHeader.reset();
  otherHeader.reset();
  payload.reset();
  carry.reset();
}

void StreamPacketParser::Feed(const std::uint8_t* chunk, std::uint32_t size) {
  if (!chunk || size == 0) return;
  if (leftover == 0) {
    data = chunk;
    length = size;
    pos = 0;
    return;
  }
  if (static_cast<std::uint64_t>(leftover) + size > static_cast<std::uint64_t>(kCarrySize)) {
    // The carried bytes and the chunk are no longer one stream: hunt afresh.
    leftover = 0;
    state = kStateHunting;
    std::memset(startWindow, 0, sizeof startWindow);
    data = chunk;
    length = size;
    pos = 0;
    return;
  }
  std::memcpy(carry.get() + leftover, chunk, size);
  leftover += static_cast<std::int32_t>(size);
  data = carry.get();
  length = static_cast<std::uint32_t>(leftover);
  pos = 0;
}

std::uint32_t StreamPacketParser::ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t StreamPacketParser::ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

int StreamPacketParser::KindForCodecCode(std::uint32_t codecCode) {
  switch (codecCode) {
  case 101:
  case 102:
    return kKindMpeg4;
  case 104:
  case 105:
    return kKindH264;
  default:
    return kKindMjpeg;
  }
}

int StreamPacketParser::KindForTypeCode(std::uint32_t typeCode) {
  switch (typeCode) {
  case 201:
    return kKindType201;
  case 202:
    return kKindType202;
  case 204:
    return kKindType204;
  case 203:
    return kKindType203;
  default:
    return kKindOtherType;
  }
}

bool StreamPacketParser::WindowIsStartCode() const {
  return startWindow[0] == 0 && startWindow[1] == 0 && startWindow[2] == 1 &&
         (startWindow[3] == kStartVideo || startWindow[3] == kStartOther);
}

void StreamPacketParser::BeginHeader() {
  std::memcpy(header, startWindow, 4);
  headerFill = 4;
  std::memset(startWindow, 0, sizeof startWindow);
  byteCount = 0;
  state = kStateHeaderLength;
}

// Drops the packet under way and hunts on as if the last four bytes read had
// been read while hunting, so a start code right behind a false one is found.
void StreamPacketParser::DropPacket(const std::uint8_t* lastFour) {
  std::memcpy(startWindow, lastFour, 4);
  std::memset(header, 0, sizeof header);
  std::memset(lengthBytes, 0, sizeof lengthBytes);
  headerLength = 0;
  headerFill = 0;
  payloadFill = 0;
  byteCount = 0;
  state = kStateHunting;
  if (WindowIsStartCode()) BeginHeader();
}

void StreamPacketParser::CompleteHeader() {
  const bool video = header[3] == kStartVideo;
  const int block = video ? kVideoHeaderSize : kOtherHeaderSize;
  const std::uint32_t announced = ReadU32(header + kOffsetPayloadLength);
  if (announced == 0 || announced > static_cast<std::uint32_t>(kPayloadSize)) {
    std::uint8_t lastFour[4];
    std::memcpy(lastFour, header + headerLength - 4, 4);
    DropPacket(lastFour);
    return;
  }
  std::uint8_t* copy = video ? videoHeader.get() : otherHeader.get();
  std::memcpy(copy, header, headerLength);
  // Fields a short header does not carry read as 0, as they do for the kind.
  std::memset(copy + headerLength, 0, block - headerLength);
  payloadLength = static_cast<std::int32_t>(announced);
  kind = video ? KindForCodecCode(ReadU32(header + kOffsetCodecCode))
               : KindForTypeCode(ReadU32(header + kOffsetTypeCode));
  std::memset(header, 0, block);
  headerFill = 0;
  state = kStatePayload;
  payloadFill = 0;
}

const std::uint8_t* StreamPacketParser::CompletePacket() {
  byteCount = 0;
  const std::uint32_t rest = length - pos;
  if (rest > 0 && rest <= static_cast<std::uint32_t>(kCarrySize)) {
    // data may already be carry, hence memmove.
    std::memmove(carry.get(), data + pos, rest);
    leftover = static_cast<std::int32_t>(rest);
    length = rest;
    data = carry.get();
  } else {
    // Nothing left, or more than carry holds: an input that large breaks the
    // feeding contract and its remainder is dropped; hunting restarts with
    // the next input.
    leftover = 0;
    length = 0;
    data = nullptr;
  }
  pos = 0;
  state = kStateHunting;
  payloadFill = 0;
  return payload.get();
}

const std::uint8_t* StreamPacketParser::InputRanOut() {
  pos = 0;
  leftover = 0;
  length = 0;
  data = nullptr;
  return nullptr;
}

const std::uint8_t* StreamPacketParser::Parse() {
  if (!payload || !carry || !videoHeader || !otherHeader || !data) return InputRanOut();
  while (pos < length) {
    switch (state) {
    case kStateHunting:
      while (pos < length) {
        const std::uint8_t byte = data[pos++];
        byteCount = static_cast<std::int32_t>(static_cast<std::uint32_t>(byteCount) + 1);
        Shift(startWindow, byte);
        if (WindowIsStartCode()) {
          BeginHeader();
          break;
        }
      }
      break;
    case kStateHeaderLength:
      while (pos < length && state == kStateHeaderLength) {
        Shift(lengthBytes, data[pos++]);
        if (++byteCount < 4) continue;
        const std::uint32_t announced = ReadU32(lengthBytes);
        const std::uint32_t block = header[3] == kStartVideo ? kVideoHeaderSize : kOtherHeaderSize;
        if (announced <= 8 || announced > block) {
          std::uint8_t lastFour[4];
          std::memcpy(lastFour, lengthBytes, 4);
          DropPacket(lastFour);
          break;
        }
        std::memcpy(header + 4, lengthBytes, 4);
        headerFill = 8;
        headerLength = static_cast<std::int32_t>(announced);
        std::memset(lengthBytes, 0, sizeof lengthBytes);
        state = kStateHeader;
      }
      break;
    case kStateHeader: {
      const std::uint32_t n = std::min<std::uint32_t>(headerLength - headerFill, length - pos);
      std::memcpy(header + headerFill, data + pos, n);
      headerFill += static_cast<std::int32_t>(n);
      pos += n;
      if (headerFill == headerLength) CompleteHeader();
      break;
    }
    case kStatePayload: {
      const std::uint32_t n = std::min<std::uint32_t>(payloadLength - payloadFill, length - pos);
      std::memcpy(payload.get() + payloadFill, data + pos, n);
      payloadFill += static_cast<std::int32_t>(n);
      pos += n;
      if (payloadFill == payloadLength) return CompletePacket();
      break;
    }
    default:
      state = kStateHunting;
      break;
    }
  }
  return InputRanOut();
}
