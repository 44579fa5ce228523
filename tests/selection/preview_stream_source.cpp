#include "tests/selection/preview_stream_source.h"

#include <chrono>
#include <string_view>
#include <thread>


namespace previewtest {
namespace {

std::vector<Bytes> Wrap(Codec codec, int width, int height, const std::vector<Bytes>& pictures) {
  std::vector<Bytes> packets;
  stream_fixture::VideoFields fields;
  fields.codecCode = stream_fixture::CodecCode(codec);
  fields.channelMask = 1;
  fields.width = static_cast<std::uint16_t>(width);
  fields.height = static_cast<std::uint16_t>(height);
  fields.seconds = 1336897200;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    fields.microseconds = static_cast<std::uint32_t>(i % 25) * 40000u;
    packets.push_back(stream_fixture::VideoPacket(fields, pictures[i]));
  }
  return packets;
}

std::string_view View(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

std::vector<Bytes> SolidPackets(Codec codec, int width, int height, int count, Colour colour) {
  stream_fixture::FrameEncoder encoder(codec, width, height);
  std::vector<Bytes> pictures;
  for (int i = 0; i < count; ++i) pictures.push_back(encoder.EncodeSolid(colour.red, colour.green, colour.blue));
  return Wrap(codec, width, height, pictures);
}

std::vector<Bytes> PicturePackets(Codec codec, int width, int height, int count, const Bytes& bgr) {
  stream_fixture::FrameEncoder encoder(codec, width, height);
  std::vector<Bytes> pictures;
  for (int i = 0; i < count; ++i) pictures.push_back(encoder.EncodeBgr(bgr.data()));
  return Wrap(codec, width, height, pictures);
}

std::vector<Bytes> PatternPackets(Codec codec, int width, int height, int count) {
  stream_fixture::FrameEncoder encoder(codec, width, height);
  std::vector<Bytes> pictures;
  for (int i = 0; i < count; ++i) pictures.push_back(encoder.EncodePattern(i));
  return Wrap(codec, width, height, pictures);
}

Bytes Join(const std::vector<Bytes>& packets) {
  Bytes all;
  for (const Bytes& p : packets) all.insert(all.end(), p.begin(), p.end());
  return all;
}

sim::StreamSource PacketSource(std::vector<Bytes> packets, SourceOptions options) {
  return [packets = std::move(packets), options](const sim::StreamRequest&, const sim::StreamWriter& write) {
    struct CountEnd {
      std::atomic<int>* ended;
      ~CountEnd() {
        if (ended) ++*ended;
      }
    } countEnd{options.ended.get()};
    if (!options.prefix.empty() && !write(View(options.prefix))) return;
    do {
      for (const Bytes& packet : packets) {
        if (!write(View(packet))) return;
        if (options.intervalMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options.intervalMs));
      }
    } while (options.loop);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.holdMs);
    while (std::chrono::steady_clock::now() < until && !(options.release && options.release->load()))
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  };
}

sim::StreamSource LiveStream(Codec codec, int width, int height) {
  SourceOptions live;
  live.loop = true;
  live.intervalMs = 40;
  return PacketSource(PatternPackets(codec, width, height, 50), live);
}

}  // namespace previewtest
