// Writes the fuzz corpus seeds: real streams of each codec from the stream
// fixture, every packet kind, and a few broken packets.

#include "tests/stream/stream_writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace stream_fixture;

namespace {

void Write(const std::filesystem::path& dir, const std::string& name, const Bytes& bytes) {
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);

  StreamOptions options;
  options.otherEvery = 2;
  Write(dir, "mjpeg", VideoStream(Codec::Mjpeg, 32, 24, 3, options));
  Write(dir, "mpeg4", VideoStream(Codec::Mpeg4, 32, 24, 3, options));
  Write(dir, "h264", VideoStream(Codec::H264, 32, 24, 3, options));

  Bytes kinds;
  for (std::uint32_t code : {101u, 102u, 103u, 104u, 105u, 0u}) {
    VideoFields f;
    f.codecCode = code;
    f.width = 16;
    f.height = 16;
    const Bytes p = VideoPacket(f, Bytes(12, static_cast<std::uint8_t>(code)));
    kinds.insert(kinds.end(), p.begin(), p.end());
  }
  for (std::uint32_t type : {201u, 202u, 203u, 204u, 205u}) {
    OtherFields f;
    f.typeCode = type;
    const Bytes p = OtherPacket(f, Bytes(6, static_cast<std::uint8_t>(type)));
    kinds.insert(kinds.end(), p.begin(), p.end());
  }
  Write(dir, "kinds", kinds);

  Bytes broken = {0x11, 0, 0, 1, 0x42, 0, 0, 1, 0xF3, 8, 0, 0, 0};
  VideoFields badPayload;
  badPayload.payloadLength = 0;
  const Bytes bp = VideoPacket(badPayload, {});
  broken.insert(broken.end(), bp.begin(), bp.end());
  OtherFields shortHeader;
  shortHeader.headerLength = 12;
  Bytes sh = OtherPacket(shortHeader, Bytes(3, 9));
  sh.erase(sh.begin() + 12, sh.begin() + 48);
  broken.insert(broken.end(), sh.begin(), sh.end());
  Write(dir, "broken", broken);
  return 0;
}
