#pragma once
// Cuts the recorder's preview stream into packets, whatever the chunking of
// the network reads. One reader thread owns a parser; there is no lock.
//
// Packet layout (little-endian): start code 00 00 01 F3 (video) or
// 00 00 01 F9 (other), header length H (whole header, start code included),
// payload length P at offset 8, the rest of the header, then P payload bytes.

#include <cstdint>
#include <memory>

class StreamPacketParser {
public:
  // Packet kinds, from the video header's codec code or the other header's
  // type code.
  static constexpr int kKindMjpeg = 0;
  static constexpr int kKindMpeg4 = 1;
  static constexpr int kKindH264 = 2;
  static constexpr int kKindType201 = 3;
  static constexpr int kKindType202 = 4;
  static constexpr int kKindType204 = 5;
  static constexpr int kKindType203 = 6;
  static constexpr int kKindOtherType = 7;

  static constexpr int kCarrySize = 20480;
  static constexpr int kPayloadSize = 2097152;
  static constexpr int kVideoHeaderSize = 128;
  static constexpr int kOtherHeaderSize = 48;

  // Offsets inside the headers.
  static constexpr int kOffsetPayloadLength = 8;
  static constexpr int kOffsetSeconds = 20;
  static constexpr int kOffsetMicroseconds = 24;
  static constexpr int kOffsetTypeCode = 28;
  static constexpr int kOffsetCodecCode = 108;
  static constexpr int kOffsetChannelMask = 112;
  static constexpr int kOffsetWidth = 114;
  static constexpr int kOffsetHeight = 116;

  static constexpr int kStateHunting = 1;
  static constexpr int kStateHeaderLength = 2;
  static constexpr int kStateHeader = 3;
  static constexpr int kStatePayload = 4;

  StreamPacketParser() = default;
  ~StreamPacketParser() { Destroy(); }
  StreamPacketParser(const StreamPacketParser&) = delete;
  StreamPacketParser& operator=(const StreamPacketParser&) = delete;

  // Allocates the four blocks and resets; 0 when they cannot be had (the
  // owner cannot parse then).
  int Init();
  // Drops a packet under way and starts hunting afresh.
  void Reset();
  // Reset, then frees the blocks. Safe to call more than once.
  void Destroy();

  // The owner's feeding rule after a null result: the chunk becomes the input
  // directly when nothing is left over, else it is appended to the carried
  // bytes. A chunk that does not fit behind them breaks the stream: the
  // carried bytes are dropped and hunting restarts in the chunk alone. With
  // nothing carried, the chunk is used in place and must stay valid until
  // Parse returns null.
  void Feed(const std::uint8_t* chunk, std::uint32_t size);

  // Consumes the input from pos. Returns the payload buffer when a packet
  // was completed (kind, payloadLength and videoHeader or otherHeader
  // describe it; the buffer is overwritten by the next packet), or null
  // when the input ran out, with pos and leftover 0 and any partial packet
  // kept for the next input.
  const std::uint8_t* Parse();

  // Little-endian field readers for the copied headers.
  static std::uint32_t ReadU32(const std::uint8_t* p);
  static std::uint16_t ReadU16(const std::uint8_t* p);

  static int KindForCodecCode(std::uint32_t codecCode);
  static int KindForTypeCode(std::uint32_t typeCode);

  std::int32_t leftover = 0;
  std::unique_ptr<std::uint8_t[]> carry;
  const std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
  std::unique_ptr<std::uint8_t[]> payload;
  std::uint32_t pos = 0;
  std::int32_t state = kStateHunting;
  std::uint8_t startWindow[4] = {};
  std::uint8_t lengthBytes[4] = {};
  std::uint8_t header[kVideoHeaderSize] = {};
  std::int32_t headerLength = 0;
  std::int32_t headerFill = 0;
  std::int32_t byteCount = 0;
  std::unique_ptr<std::uint8_t[]> videoHeader;
  std::unique_ptr<std::uint8_t[]> otherHeader;
  std::int32_t kind = 0;
  std::int32_t payloadLength = 0;
  std::int32_t payloadFill = 0;

private:
  bool WindowIsStartCode() const;
  void BeginHeader();
  void CompleteHeader();
  void DropPacket(const std::uint8_t* lastFour);
  const std::uint8_t* CompletePacket();
  const std::uint8_t* InputRanOut();
};
