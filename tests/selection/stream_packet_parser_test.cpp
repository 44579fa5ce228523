// The stream parser alone: packets cut from any split of the input, junk and
// bad lengths skipped, its buffers never overrun.
#include "selection/stream_packet_parser.h"
#include "tests/stream/stream_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using stream_fixture::Bytes;
using stream_fixture::OtherFields;
using stream_fixture::OtherPacket;
using stream_fixture::VideoFields;
using stream_fixture::VideoPacket;

namespace {

struct Parsed {
  int kind;
  Bytes payload;
  Bytes header;
  bool operator==(const Parsed&) const = default;
};

Parsed Take(const StreamPacketParser& p, const std::uint8_t* out) {
  Parsed r;
  r.kind = p.kind;
  r.payload.assign(out, out + p.payloadLength);
  if (p.kind <= StreamPacketParser::kKindH264)
    r.header.assign(p.videoHeader.get(), p.videoHeader.get() + StreamPacketParser::kVideoHeaderSize);
  else
    r.header.assign(p.otherHeader.get(), p.otherHeader.get() + StreamPacketParser::kOtherHeaderSize);
  return r;
}

// Feeds the chunks as the preview's reader does: a new chunk only after a
// null result, every packet taken before parsing on.
std::vector<Parsed> ParseChunks(StreamPacketParser& p, const std::vector<Bytes>& chunks) {
  std::vector<Parsed> out;
  for (const Bytes& chunk : chunks) {
    p.Feed(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
    while (const std::uint8_t* packet = p.Parse()) out.push_back(Take(p, packet));
    EXPECT_EQ(p.pos, 0u);
    EXPECT_EQ(p.leftover, 0);
  }
  return out;
}

std::vector<Parsed> ParseWhole(const Bytes& stream) {
  StreamPacketParser p;
  EXPECT_EQ(p.Init(), 1);
  return ParseChunks(p, {stream});
}

std::vector<Parsed> ParseInPieces(const Bytes& stream, std::size_t piece) {
  std::vector<Bytes> chunks;
  for (std::size_t at = 0; at < stream.size(); at += piece)
    chunks.emplace_back(stream.begin() + at, stream.begin() + std::min(stream.size(), at + piece));
  StreamPacketParser p;
  EXPECT_EQ(p.Init(), 1);
  return ParseChunks(p, chunks);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& b : parts) out.insert(out.end(), b.begin(), b.end());
  return out;
}

Bytes Pattern(std::size_t size, std::uint8_t seed) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
  return b;
}

Bytes Video(std::size_t payloadSize, std::uint8_t seed, std::uint32_t codec = 104) {
  VideoFields f;
  f.codecCode = codec;
  f.width = 320;
  f.height = 240;
  f.channelMask = 0x8001;
  f.seconds = 1336897200;
  f.microseconds = 40000;
  return VideoPacket(f, Pattern(payloadSize, seed));
}

Bytes Other(std::size_t payloadSize, std::uint8_t seed, std::uint32_t type = 202) {
  OtherFields f;
  f.typeCode = type;
  return OtherPacket(f, Pattern(payloadSize, seed));
}

const Bytes kTwoPackets = Concat({Video(300, 1), Other(40, 9)});

} // namespace

TEST(StreamPacketParser, TwoPacketsInOneInputComeOutOneByOne) {
  StreamPacketParser p;
  ASSERT_EQ(p.Init(), 1);
  p.Feed(kTwoPackets.data(), static_cast<std::uint32_t>(kTwoPackets.size()));

  const std::uint8_t* first = p.Parse();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, p.payload.get());
  EXPECT_EQ(p.kind, StreamPacketParser::kKindH264);
  EXPECT_EQ(p.payloadLength, 300);
  EXPECT_EQ(Bytes(first, first + 300), Pattern(300, 1));
  EXPECT_EQ(StreamPacketParser::ReadU16(p.videoHeader.get() + StreamPacketParser::kOffsetChannelMask), 0x8001);
  EXPECT_EQ(StreamPacketParser::ReadU16(p.videoHeader.get() + StreamPacketParser::kOffsetWidth), 320);
  EXPECT_EQ(StreamPacketParser::ReadU16(p.videoHeader.get() + StreamPacketParser::kOffsetHeight), 240);
  EXPECT_EQ(StreamPacketParser::ReadU32(p.videoHeader.get() + StreamPacketParser::kOffsetSeconds), 1336897200u);
  EXPECT_EQ(StreamPacketParser::ReadU32(p.videoHeader.get() + StreamPacketParser::kOffsetMicroseconds), 40000u);
  // The second packet waits in carry.
  EXPECT_EQ(p.data, p.carry.get());
  EXPECT_EQ(p.leftover, static_cast<std::int32_t>(48 + 40));
  EXPECT_EQ(p.state, StreamPacketParser::kStateHunting);

  const std::uint8_t* second = p.Parse();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(p.kind, StreamPacketParser::kKindType202);
  EXPECT_EQ(Bytes(second, second + p.payloadLength), Pattern(40, 9));
  EXPECT_EQ(p.leftover, 0);

  EXPECT_EQ(p.Parse(), nullptr);
  EXPECT_EQ(p.pos, 0u);
  EXPECT_EQ(p.leftover, 0);
  // Nothing fed: parsing again finds nothing, rather than the old input.
  EXPECT_EQ(p.Parse(), nullptr);
}

TEST(StreamPacketParser, EveryCutOfTheInputGivesTheSameResult) {
  const std::vector<Parsed> whole = ParseWhole(kTwoPackets);
  ASSERT_EQ(whole.size(), 2u);
  // Two chunks cut at every position: inside the start code, the header
  // length, the header and the payload of each packet.
  for (std::size_t cut = 1; cut < kTwoPackets.size(); ++cut) {
    StreamPacketParser p;
    ASSERT_EQ(p.Init(), 1);
    const Bytes a(kTwoPackets.begin(), kTwoPackets.begin() + cut);
    const Bytes b(kTwoPackets.begin() + cut, kTwoPackets.end());
    ASSERT_EQ(ParseChunks(p, {a, b}), whole) << "cut at " << cut;
  }
  for (std::size_t piece : {1u, 2u, 3u, 5u, 127u, 8192u}) {
    EXPECT_EQ(ParseInPieces(kTwoPackets, piece), whole) << "pieces of " << piece;
  }
}

TEST(StreamPacketParser, PartialPacketStaysForTheNextInput) {
  StreamPacketParser p;
  ASSERT_EQ(p.Init(), 1);
  const Bytes packet = Video(100, 3);
  p.Feed(packet.data(), 2); // inside the start code
  EXPECT_EQ(p.Parse(), nullptr);
  EXPECT_EQ(p.state, StreamPacketParser::kStateHunting);
  p.Feed(packet.data() + 2, 4); // start code done, inside the length
  EXPECT_EQ(p.Parse(), nullptr);
  EXPECT_EQ(p.state, StreamPacketParser::kStateHeaderLength);
  p.Feed(packet.data() + 6, 60); // inside the header
  EXPECT_EQ(p.Parse(), nullptr);
  EXPECT_EQ(p.state, StreamPacketParser::kStateHeader);
  EXPECT_EQ(p.headerLength, 128);
  p.Feed(packet.data() + 66, 100); // inside the payload
  EXPECT_EQ(p.Parse(), nullptr);
  EXPECT_EQ(p.state, StreamPacketParser::kStatePayload);
  EXPECT_EQ(p.payloadFill, 38);
  p.Feed(packet.data() + 166, static_cast<std::uint32_t>(packet.size() - 166));
  const std::uint8_t* out = p.Parse();
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(Bytes(out, out + p.payloadLength), Pattern(100, 3));
}

TEST(StreamPacketParser, SkipsJunkAndFalseStartCodes) {
  const Bytes packet = Video(64, 5);
  struct Case {
    const char* name;
    Bytes before;
  };
  const Case cases[] = {
      {"junk", Pattern(1000, 77)},
      {"other fourth byte", {0, 0, 1, 0x42, 0, 0, 1, 0xF4, 0, 0, 1, 0, 0, 1}},
      {"zeros before the start code", Bytes(50, 0)},
      {"start code cut by junk", {0, 0, 1, 0xAA, 0, 0, 0xF3, 1, 0xF9}},
      // False start codes whose length field is out of range, the real packet
      // starting inside or right behind that field.
      {"false video start, bad length", {0, 0, 1, 0xF3, 0xFF, 0xFF, 0xFF, 0xFF, 7}},
      {"false start right before", {0, 0, 1, 0xF3}},
      {"false start overlapping", {0, 0, 1, 0xF9, 0}},
      {"false start with length 8", {0, 0, 1, 0xF3, 8, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const Bytes stream = Concat({c.before, packet, Pattern(3, 1), packet});
    for (std::size_t piece : {1u, 7u, 8192u}) {
      const std::vector<Parsed> out = ParseInPieces(stream, piece);
      ASSERT_EQ(out.size(), 2u) << c.name << ", pieces of " << piece;
      EXPECT_EQ(out[0].payload, Pattern(64, 5)) << c.name;
      EXPECT_EQ(out[1], out[0]) << c.name;
    }
  }
}

TEST(StreamPacketParser, KindsFromCodecAndTypeCodes) {
  struct Case {
    bool video;
    std::uint32_t code;
    int kind;
  };
  const Case cases[] = {
      {true, 101, StreamPacketParser::kKindMpeg4},   {true, 102, StreamPacketParser::kKindMpeg4},
      {true, 103, StreamPacketParser::kKindMjpeg},   {true, 104, StreamPacketParser::kKindH264},
      {true, 105, StreamPacketParser::kKindH264},    {true, 0, StreamPacketParser::kKindMjpeg},
      {true, 106, StreamPacketParser::kKindMjpeg},   {true, 0x01000065, StreamPacketParser::kKindMjpeg},
      {false, 201, StreamPacketParser::kKindType201}, {false, 202, StreamPacketParser::kKindType202},
      {false, 203, StreamPacketParser::kKindType203}, {false, 204, StreamPacketParser::kKindType204},
      {false, 205, StreamPacketParser::kKindOtherType}, {false, 0, StreamPacketParser::kKindOtherType},
  };
  Bytes stream;
  for (const Case& c : cases) {
    const Bytes packet = c.video ? Video(10, 1, c.code) : Other(10, 1, c.code);
    stream.insert(stream.end(), packet.begin(), packet.end());
  }
  const std::vector<Parsed> out = ParseWhole(stream);
  ASSERT_EQ(out.size(), std::size(cases));
  for (std::size_t i = 0; i < out.size(); ++i)
    EXPECT_EQ(out[i].kind, cases[i].kind) << "code " << cases[i].code;
}

TEST(StreamPacketParser, DropsBadLengthsAndResynchronises) {
  const Bytes good = Video(64, 5);
  struct Case {
    const char* name;
    Bytes bad;
  };
  auto video = [](std::uint32_t headerLength, std::int64_t payloadLength) {
    VideoFields f;
    f.headerLength = headerLength;
    f.payloadLength = payloadLength;
    f.width = 16;
    f.height = 16;
    return VideoPacket(f, Pattern(20, 3));
  };
  auto other = [](std::uint32_t headerLength, std::int64_t payloadLength) {
    OtherFields f;
    f.headerLength = headerLength;
    f.payloadLength = payloadLength;
    return OtherPacket(f, Pattern(20, 3));
  };
  const Case cases[] = {
      {"video header length 0", video(0, -1)},
      {"video header length 4", video(4, -1)},
      {"video header length 8", video(8, -1)},
      {"video header length 129", video(129, -1)},
      {"video header length 200", video(200, -1)},
      {"video header length 0xFFFFFFFF", video(0xFFFFFFFF, -1)},
      {"other header length 8", other(8, -1)},
      {"other header length 49", other(49, -1)},
      {"other header length 128", other(128, -1)},
      {"video payload length 0", video(128, 0)},
      {"video payload length 2097153", video(128, 2097153)},
      {"video payload length 3000000", video(128, 3000000)},
      {"video payload length 0xFFFFFFF0", video(128, 0xFFFFFFF0)},
      {"other payload length 0", other(48, 0)},
      {"other payload length 0x80000000", other(48, 0x80000000)},
      // A header of 9 bytes cuts the payload length after its low byte.
      {"video header length 9", video(9, -1)},
  };
  for (const Case& c : cases) {
    const Bytes stream = Concat({c.bad, good});
    for (std::size_t piece : {1u, 8192u}) {
      const std::vector<Parsed> out = ParseInPieces(stream, piece);
      ASSERT_FALSE(out.empty()) << c.name;
      EXPECT_EQ(out.back().payload, Pattern(64, 5)) << c.name << ", pieces of " << piece;
      EXPECT_EQ(out.back().kind, StreamPacketParser::kKindH264) << c.name;
      for (const Parsed& o : out) EXPECT_LE(o.payload.size(), 2097152u) << c.name;
    }
  }
}

TEST(StreamPacketParser, AcceptsTheLimitsOfTheLengths) {
  // The largest payload and the shortest header with a payload length.
  VideoFields big;
  big.width = 1920;
  big.height = 1080;
  const Bytes payload = Pattern(2097152, 11);
  const Bytes largest = VideoPacket(big, payload);

  VideoFields shortHeader;
  shortHeader.headerLength = 12;
  shortHeader.codecCode = 101;
  shortHeader.width = 320;
  Bytes shortPacket = VideoPacket(shortHeader, Pattern(5, 2));
  shortPacket.erase(shortPacket.begin() + 12, shortPacket.begin() + 128);

  const std::vector<Parsed> out = ParseInPieces(Concat({largest, shortPacket}), 8192);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].payload, payload);
  EXPECT_EQ(StreamPacketParser::ReadU16(out[0].header.data() + StreamPacketParser::kOffsetWidth), 1920);
  EXPECT_EQ(out[1].payload, Pattern(5, 2));
  // The short header carries no codec code nor size; the earlier packet's
  // values do not show through.
  EXPECT_EQ(out[1].kind, StreamPacketParser::kKindMjpeg);
  EXPECT_EQ(StreamPacketParser::ReadU16(out[1].header.data() + StreamPacketParser::kOffsetWidth), 0);
}

TEST(StreamPacketParser, ChunkAppendedToCarriedBytes) {
  // A caller that feeds before taking the second packet: the chunk is
  // appended behind the carried bytes.
  const Bytes second = Video(200, 8);
  const Bytes first = Concat({Video(30, 1), Bytes(second.begin(), second.begin() + 50)});
  StreamPacketParser p;
  ASSERT_EQ(p.Init(), 1);
  p.Feed(first.data(), static_cast<std::uint32_t>(first.size()));
  ASSERT_NE(p.Parse(), nullptr);
  EXPECT_EQ(p.leftover, 50);
  p.Feed(second.data() + 50, static_cast<std::uint32_t>(second.size() - 50));
  EXPECT_EQ(p.leftover, static_cast<std::int32_t>(second.size()));
  const std::uint8_t* out = p.Parse();
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(Bytes(out, out + p.payloadLength), Pattern(200, 8));
}

TEST(StreamPacketParser, InputBeyondTheCarryBufferIsDroppedNotOverrun) {
  const Bytes later = Video(10, 4);
  {
    // Carried bytes plus a chunk that does not fit: the carried bytes go,
    // parsing goes on in the chunk.
    const Bytes first = Concat({Video(30, 1), Bytes{0, 0, 1, 0xF3, 128, 0}});
    StreamPacketParser p;
    ASSERT_EQ(p.Init(), 1);
    p.Feed(first.data(), static_cast<std::uint32_t>(first.size()));
    ASSERT_NE(p.Parse(), nullptr);
    ASSERT_EQ(p.leftover, 6);
    const Bytes chunk = Concat({Bytes(StreamPacketParser::kCarrySize - 5 - later.size(), 0x55), later});
    p.Feed(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
    EXPECT_EQ(p.leftover, 0);
    const std::uint8_t* out = p.Parse();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(Bytes(out, out + p.payloadLength), Pattern(10, 4));
    EXPECT_EQ(p.Parse(), nullptr);
  }
  {
    // One input whose bytes after a packet exceed carry: they are dropped,
    // the next input is parsed afresh.
    const Bytes input = Concat({Video(30, 1), Bytes{0, 0, 1, 0xF3, 128, 0, 0, 0},
                                Bytes(StreamPacketParser::kCarrySize, 0x55)});
    StreamPacketParser p;
    ASSERT_EQ(p.Init(), 1);
    const std::vector<Parsed> out = ParseChunks(p, {input, later});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].payload, Pattern(10, 4));
  }
}

TEST(StreamPacketParser, ResetDropsThePacketUnderWay) {
  const Bytes packet = Video(100, 6);
  StreamPacketParser p;
  ASSERT_EQ(p.Init(), 1);
  p.Feed(packet.data(), 150);
  EXPECT_EQ(p.Parse(), nullptr);
  EXPECT_EQ(p.state, StreamPacketParser::kStatePayload);
  p.Reset();
  EXPECT_EQ(p.state, StreamPacketParser::kStateHunting);
  EXPECT_EQ(p.payloadFill, 0);
  // The rest of the old packet is junk now; the next whole packet comes out.
  const Bytes rest(packet.begin() + 150, packet.end());
  const std::vector<Parsed> out = ParseChunks(p, {rest, packet});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].payload, Pattern(100, 6));
}

TEST(StreamPacketParser, UnusableUntilInitAndAfterDestroy) {
  StreamPacketParser p;
  p.Feed(kTwoPackets.data(), 10);
  EXPECT_EQ(p.Parse(), nullptr);
  ASSERT_EQ(p.Init(), 1);
  p.Destroy();
  p.Destroy();
  EXPECT_EQ(p.payload, nullptr);
  p.Feed(kTwoPackets.data(), static_cast<std::uint32_t>(kTwoPackets.size()));
  EXPECT_EQ(p.Parse(), nullptr);
}
