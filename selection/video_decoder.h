#pragma once
// Decodes one encoded picture of the preview stream into packed BGR24 rows,
// top row first, at the size the stream announced. Used by one thread.

#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
}

struct SwsContext;

class VideoDecoder {
public:
  VideoDecoder() = default;
  ~VideoDecoder() { Destroy(); }
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // The codec for a video packet kind (0 MJPEG, 1 MPEG-4 Part 2, 2 H.264);
  // AV_CODEC_ID_NONE for any other kind.
  static AVCodecID CodecForKind(int kind);

  // Opens a decoder for the codec and the announced picture size; 1 or 0.
  // A failed open keeps what it acquired until the next Close or Open.
  int Open(AVCodecID codecId, int width, int height);

  // Decodes one encoded picture and copies it, as bgrSize bytes of BGR24,
  // into output, which holds outputCapacity bytes; outputSize then reads
  // bgrSize. Returns 0 and leaves output and outputSize untouched when there
  // is no picture, when the picture's size is not the announced one, when
  // bgrSize exceeds outputCapacity, or when it cannot be converted.
  int Decode(const std::uint8_t* data, int size, std::uint8_t* output, int outputCapacity,
             int* outputSize);

  // Releases everything; 1. Safe on a closed decoder.
  int Close();
  void Destroy() { Close(); }

  AVCodecContext* context = nullptr;
  const AVCodec* codec = nullptr;
  AVFrame* frame = nullptr;
  AVFrame* frameBgr = nullptr;
  AVPacket* packet = nullptr;
  std::uint8_t* bgrBuffer = nullptr;
  std::int32_t bgrSize = 0;

private:
  // The announced size; the decoder context's own size follows the stream.
  int width = 0;
  int height = 0;
  // One conversion context per open decoder, rebuilt only when the decoded
  // pictures' pixel format changes.
  SwsContext* scaler = nullptr;
};
