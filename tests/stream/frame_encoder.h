#pragma once
// Encodes test pictures with FFmpeg's own encoders, so stream tests carry the
// same bitstreams a recorder sends: MJPEG, MPEG-4 Part 2 and H.264 (libx264).

#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace stream_fixture {

enum class Codec { Mjpeg, Mpeg4, H264 };

const char* CodecName(Codec codec);

struct EncoderOptions {
  // libx264 preset; "ultrafast" keeps test set-up short.
  std::string x264Preset = "ultrafast";
  // A key picture every gopSize pictures, so a late joiner soon gets one.
  int gopSize = 25;
  // Encoder threads; 0 lets the encoder choose.
  int threads = 1;
  // H.264 average bit rate in bits per second; 0 for the encoder's own
  // constant-quality default.
  std::int64_t bitRate = 0;
};

class FrameEncoder {
public:
  // Throws std::runtime_error when the encoder cannot be opened.
  FrameEncoder(Codec codec, int width, int height, EncoderOptions options = {});
  ~FrameEncoder();
  FrameEncoder(const FrameEncoder&) = delete;
  FrameEncoder& operator=(const FrameEncoder&) = delete;

  // One encoded picture of a single colour.
  std::vector<std::uint8_t> EncodeSolid(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  // One encoded picture of a moving, textured pattern (index = picture number).
  std::vector<std::uint8_t> EncodePattern(int index);
  // Encodes a packed BGR24 picture of the encoder's size, top row first.
  std::vector<std::uint8_t> EncodeBgr(const std::uint8_t* bgr);

  int Width() const { return width_; }
  int Height() const { return height_; }

private:
  std::vector<std::uint8_t> EncodeFrame();

  int width_;
  int height_;
  std::int64_t pts_ = 0;
  AVCodecContext* context_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* toEncoder_ = nullptr;
  std::vector<std::uint8_t> bgr_;
};

// Fills a packed BGR24 picture with the moving pattern of picture index.
void FillPattern(std::vector<std::uint8_t>& bgr, int width, int height, int index);

} // namespace stream_fixture
