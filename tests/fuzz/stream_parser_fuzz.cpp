// Fuzz target for the stream packet parser: any bytes, cut two ways (the
// preview's 8192-byte reads and small chunks chosen by the input), must give
// the same packets, and every packet must lie inside the parser's limits.

#include "selection/stream_packet_parser.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Seen {
  int kind;
  int length;
  std::uint64_t hash;
  bool operator==(const Seen&) const = default;
};

std::uint64_t Hash(const std::uint8_t* p, std::size_t n, std::uint64_t h = 1469598103934665603ull) {
  for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

template <typename NextSize>
std::vector<Seen> Run(StreamPacketParser& p, const std::uint8_t* data, std::size_t size,
                      NextSize nextSize) {
  p.Reset();
  std::vector<Seen> seen;
  std::size_t at = 0;
  while (at < size) {
    const std::size_t n = std::min(size - at, nextSize());
    p.Feed(data + at, static_cast<std::uint32_t>(n));
    at += n;
    while (const std::uint8_t* out = p.Parse()) {
      Check(out == p.payload.get());
      Check(p.payloadLength >= 1 && p.payloadLength <= StreamPacketParser::kPayloadSize);
      Check(p.kind >= 0 && p.kind <= StreamPacketParser::kKindOtherType);
      Check(p.leftover >= 0 && p.leftover <= StreamPacketParser::kCarrySize);
      Check(p.state == StreamPacketParser::kStateHunting);
      const bool video = p.kind <= StreamPacketParser::kKindH264;
      std::uint64_t h = Hash(out, static_cast<std::size_t>(p.payloadLength));
      h = video ? Hash(p.videoHeader.get(), StreamPacketParser::kVideoHeaderSize, h)
                : Hash(p.otherHeader.get(), StreamPacketParser::kOtherHeaderSize, h);
      seen.push_back({p.kind, p.payloadLength, h});
    }
    Check(p.pos == 0 && p.leftover == 0);
    Check(p.state >= StreamPacketParser::kStateHunting && p.state <= StreamPacketParser::kStatePayload);
    Check(p.headerFill >= 0 && p.headerFill <= StreamPacketParser::kVideoHeaderSize);
    Check(p.payloadFill >= 0 && p.payloadFill <= p.payloadLength);
  }
  return seen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static StreamPacketParser whole;
  static StreamPacketParser pieces;
  static const bool ready = whole.Init() == 1 && pieces.Init() == 1;
  Check(ready);

  const std::vector<Seen> a = Run(whole, data, size, [] { return std::size_t{8192}; });
  std::uint32_t state = size ? data[0] * 2654435761u + 1 : 1;
  const std::vector<Seen> b = Run(pieces, data, size, [&state] {
    state = state * 1664525u + 1013904223u;
    return std::size_t{1} + (state >> 24) % 61;
  });
  Check(a == b);
  return 0;
}
