#pragma once
// A simulated recorder that serves real encoded pictures as its preview
// stream, and the request paths a preview of channel 1 sends to it.
#include <QString>

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
};

// A stream source for SimRecorder::SetStreamSource.
sim::StreamSource PacketSource(std::vector<Bytes> packets, SourceOptions options = {});

// Concatenated packets, for a source that writes them as one block.
Bytes Join(const std::vector<Bytes>& packets);

// A started recorder on loopback with a granted play id.
class PreviewRecorder {
 public:
  PreviewRecorder();
  ~PreviewRecorder();
  sim::SimRecorder& Sim() { return sim_; }
  int Port() const { return sim_.Port(); }
  int PlayId() const { return playId_; }
  QString PositionPath() const;
  QString StreamPath() const;

 private:
  sim::SimRecorder sim_;
  int playId_ = -1;
};

}  // namespace previewtest
