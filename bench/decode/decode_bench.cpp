// Decodes and converts a 1920 x 1080 H.264 stream of the recorder's packets
// through the preview's parser and decoder on one core, then the same
// pictures with the ffmpeg tool on the same core (best of three alternating
// runs each), and prints both rates and their ratio.
//
//   decode_bench [frames] [cpu]      (defaults: 300 frames, the current cpu)

#include "selection/stream_packet_parser.h"
#include "selection/video_decoder.h"
#include "tests/stream/stream_writer.h"

#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace stream_fixture;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kPictureBuffer = 7372800; // the preview's decoded-picture buffer
constexpr std::size_t kReadSize = 8192;  // the preview's network read

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

bool PinToCpu(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  return sched_setaffinity(0, sizeof set, &set) == 0;
}

// The video payloads of the stream back to back: the elementary stream the
// ffmpeg tool reads.
Bytes ElementaryStream(const Bytes& stream) {
  StreamPacketParser parser;
  if (parser.Init() != 1) std::exit(1);
  Bytes out;
  for (std::size_t at = 0; at < stream.size();) {
    const std::size_t n = std::min(kReadSize, stream.size() - at);
    parser.Feed(stream.data() + at, static_cast<std::uint32_t>(n));
    at += n;
    while (const std::uint8_t* payload = parser.Parse())
      if (parser.kind <= StreamPacketParser::kKindH264)
        out.insert(out.end(), payload, payload + parser.payloadLength);
  }
  return out;
}

struct Result {
  int frames = 0;
  double seconds = 0;
};

// What the preview's reader and decoder threads do per picture, on one
// thread: parse 8 KB reads, copy each picture into a block of its own,
// decode and convert it into the picture buffer.
Result DecodeOurs(const Bytes& stream) {
  StreamPacketParser parser;
  VideoDecoder decoder;
  std::vector<std::uint8_t> picture(kPictureBuffer);
  Result r;
  const auto start = std::chrono::steady_clock::now();
  if (parser.Init() != 1) std::exit(1);
  for (std::size_t at = 0; at < stream.size();) {
    const std::size_t n = std::min(kReadSize, stream.size() - at);
    parser.Feed(stream.data() + at, static_cast<std::uint32_t>(n));
    at += n;
    while (const std::uint8_t* payload = parser.Parse()) {
      if (parser.kind > StreamPacketParser::kKindH264) continue;
      std::vector<std::uint8_t> block(payload, payload + parser.payloadLength);
      if (!decoder.context &&
          decoder.Open(VideoDecoder::CodecForKind(parser.kind), kWidth, kHeight) != 1)
        std::exit(1);
      int size = 0;
      if (decoder.Decode(block.data(), static_cast<int>(block.size()), picture.data(),
                         kPictureBuffer, &size) == 1)
        ++r.frames;
    }
  }
  r.seconds = Seconds(std::chrono::steady_clock::now() - start);
  return r;
}

struct ToolResult {
  int frames = 0;
  double wallSeconds = 0;
  double processingSeconds = 0; // ffmpeg's own "rtime", without start-up
};

ToolResult DecodeWithTool(const std::filesystem::path& file, int cpu) {
  const std::string command = "taskset -c " + std::to_string(cpu) +
                              " ffmpeg -hide_banner -nostdin -benchmark -filter_threads 1"
                              " -threads 1 -f h264 -i '" +
                              file.string() +
                              "' -vf scale=flags=bicubic,format=bgr24 -f null - 2>&1";
  ToolResult r;
  const auto start = std::chrono::steady_clock::now();
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  std::string output;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  r.wallSeconds = Seconds(std::chrono::steady_clock::now() - start);
  if (status != 0) {
    std::fprintf(stderr, "ffmpeg failed:\n%s\n", output.c_str());
    return r;
  }
  if (const auto at = output.rfind("frame="); at != std::string::npos)
    r.frames = std::atoi(output.c_str() + at + 6);
  if (const auto at = output.rfind("rtime="); at != std::string::npos)
    r.processingSeconds = std::atof(output.c_str() + at + 6);
  return r;
}

} // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
  const int cpu = argc > 2 ? std::atoi(argv[2]) : sched_getcpu();

  std::printf("encoding %d pictures of %d x %d as H.264 ...\n", frames, kWidth, kHeight);
  StreamOptions options;
  options.encoder.x264Preset = "veryfast";
  options.encoder.threads = 0;
  // About what a recorder spends on a 1080p camera channel.
  options.encoder.bitRate = 6000000;
  options.otherEvery = 25;
  const Bytes stream = VideoStream(Codec::H264, kWidth, kHeight, frames, options);
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("decode_bench_" + std::to_string(getpid()) + ".h264");
  {
    const Bytes elementary = ElementaryStream(stream);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(elementary.data()),
              static_cast<std::streamsize>(elementary.size()));
    std::printf("stream: %.1f MB, %.1f kB per picture\n", stream.size() / 1e6,
                elementary.size() / 1e3 / frames);
  }

  if (!PinToCpu(cpu)) {
    std::perror("sched_setaffinity");
    return 1;
  }
  std::printf("pinned to cpu %d\n", cpu);
  // Alternate the two a few times and keep each one's best run, so a burst
  // of other work on the machine does not decide the ratio.
  constexpr int kRounds = 3;
  Result ours;
  ToolResult tool;
  DecodeOurs(stream); // warms the caches for both alike
  for (int round = 0; round < kRounds; ++round) {
    const Result o = DecodeOurs(stream);
    if (round == 0 || o.seconds < ours.seconds) ours = o;
    const ToolResult t = DecodeWithTool(file, cpu);
    if (round == 0 || t.processingSeconds < tool.processingSeconds) tool = t;
    std::printf("round %d: ours %.1f pictures/s, tool %.1f pictures/s\n", round + 1,
                o.frames / o.seconds, t.processingSeconds > 0 ? t.frames / t.processingSeconds : 0);
  }
  std::filesystem::remove(file);

  const double oursFps = ours.frames / ours.seconds;
  const double toolWallFps = tool.frames / tool.wallSeconds;
  const double toolFps = tool.processingSeconds > 0 ? tool.frames / tool.processingSeconds : 0;
  std::printf("best of %d rounds:\n", kRounds);
  std::printf("parser + VideoDecoder: %d pictures in %.3f s = %.1f pictures/s\n", ours.frames,
              ours.seconds, oursFps);
  std::printf("ffmpeg tool:           %d pictures in %.3f s (process) = %.1f pictures/s,"
              " %.3f s (its own rtime) = %.1f pictures/s\n",
              tool.frames, tool.wallSeconds, toolWallFps, tool.processingSeconds, toolFps);
  std::printf("ratio ours / tool: %.3f (against its rtime), %.3f (against the process)\n",
              toolFps > 0 ? oursFps / toolFps : 0, oursFps / toolWallFps);
  std::printf("real time at 25 pictures/s on one core: %s (%.1f x)\n",
              oursFps >= 25 ? "yes" : "no", oursFps / 25);
  return ours.frames == frames && tool.frames == frames ? 0 : 1;
}
