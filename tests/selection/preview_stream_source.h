#pragma once
// Stream sources for the simulated recorder's preview hook that serve real
// encoded pictures (MJPEG, MPEG-4 Part 2, H.264) in the recorder's packets,
// optionally paced and looped like a live stream.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim_recorder.h"
#include "tests/stream/stream_writer.h"

namespace previewtest {

using stream_fixture::Bytes;
using stream_fixture::Codec;

struct Colour {
  std::uint8_t red, green, blue;
};

// count video packets of one solid colour, channel 1.
std::vector<Bytes> SolidPackets(Codec codec, int width, int height, int count, Colour colour);
// count video packets of one BGR24 picture (rows top first), channel 1.
std::vector<Bytes> PicturePackets(Codec codec, int width, int height, int count, const Bytes& bgr);
// count video packets of the fixture's moving pattern, channel 1.
std::vector<Bytes> PatternPackets(Codec codec, int width, int height, int count);

struct SourceOptions {
  // Serve the packets again and again until the client goes.
  bool loop = true;
  // Pause between packets.
  int intervalMs = 10;
  // Written once before the packets.
  Bytes prefix;
  // After a pass without loop: keep the connection open, silent, for up to
  // this long, or until *release is set.
  int holdMs = 0;
  std::shared_ptr<std::atomic<int>> release;
  // Counts the answers that ended (the client went, or the pass was done).
  std::shared_ptr<std::atomic<int>> ended;
};

// A stream source for SimRecorder::SetStreamSource.
sim::StreamSource PacketSource(std::vector<Bytes> packets, SourceOptions options = {});

// A live-like stream: 50 pictures of the moving pattern, 25 a second, over
// and over until the client goes. Encoded once, when this is called.
sim::StreamSource LiveStream(Codec codec, int width, int height);

// Concatenated packets, for a source that writes them as one block.
Bytes Join(const std::vector<Bytes>& packets);

}  // namespace previewtest
