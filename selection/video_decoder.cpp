#include "selection/video_decoder.h"

#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace {

// The x86 fast path of this libswscale (5.1) converts rows to packed RGB in
// groups of 16 pixels: for other widths it leaves the last pixels of each
// row unset or writes up to 45 bytes past the end of the picture. Accurate
// rounding takes the general path, which is correct for every width; it is
// slower, so only those widths take it. The slack keeps the buffer safe for
// the few bytes the general path still writes past tiny pictures.
constexpr int kConversionSlack = 128;

int ConversionFlags(int width) {
  return width % 16 == 0 ? SWS_BICUBIC : SWS_BICUBIC | SWS_ACCURATE_RND;
}

} // namespace

AVCodecID VideoDecoder::CodecForKind(int kind) {
  switch (kind) {
  case 0:
    return AV_CODEC_ID_MJPEG;
  case 1:
    return AV_CODEC_ID_MPEG4;
  case 2:
    return AV_CODEC_ID_H264;
  default:
    return AV_CODEC_ID_NONE;
  }
}

int VideoDecoder::Open(AVCodecID codecId, int openWidth, int openHeight) {
  Close();
  if (openWidth <= 0 || openHeight <= 0 ||
      av_image_check_size(static_cast<unsigned>(openWidth), static_cast<unsigned>(openHeight), 0,
                          nullptr) < 0)
    return 0;
  width = openWidth;
  height = openHeight;

  context = avcodec_alloc_context3(nullptr);
  if (!context) return 0;
  context->pix_fmt = AV_PIX_FMT_YUV420P;
  context->codec_id = codecId;
  context->codec_type = AVMEDIA_TYPE_VIDEO;
  context->width = width;
  context->height = height;

  codec = avcodec_find_decoder(codecId);
  if (!codec) return 0;
  if (avcodec_open2(context, codec, nullptr) < 0) return 0;

  frame = av_frame_alloc();
  frameBgr = av_frame_alloc();
  packet = av_packet_alloc();
  if (!frame || !frameBgr || !packet) return 0;

  bgrSize = av_image_get_buffer_size(AV_PIX_FMT_BGR24, width, height, 1);
  if (bgrSize <= 0) return 0;
  bgrBuffer = static_cast<std::uint8_t*>(av_mallocz(static_cast<std::size_t>(bgrSize) + kConversionSlack));
  if (!bgrBuffer) return 0;
  if (av_image_fill_arrays(frameBgr->data, frameBgr->linesize, bgrBuffer, AV_PIX_FMT_BGR24, width,
                           height, 1) < 0)
    return 0;
  return 1;
}

int VideoDecoder::Decode(const std::uint8_t* data, int size, std::uint8_t* output,
                         int outputCapacity, int* outputSize) {
  if (!data || size <= 0 || !context || !frame || !packet || !bgrBuffer) return 0;

  // The packet is not reference-counted, so libavcodec takes its own padded
  // copy of the bytes; the caller's buffer is never read past size.
  packet->data = const_cast<std::uint8_t*>(data);
  packet->size = size;
  int sent = avcodec_send_packet(context, packet);
  int received = AVERROR(EAGAIN);
  if (sent == AVERROR(EAGAIN)) {
    // A picture is still waiting: take it, then hand in this packet.
    received = avcodec_receive_frame(context, frame);
    sent = avcodec_send_packet(context, packet);
  }
  packet->data = nullptr;
  packet->size = 0;
  if (received < 0) {
    if (sent < 0) return 0;
    received = avcodec_receive_frame(context, frame);
    if (received < 0) return 0;
  }

  int result = 0;
  // A picture of another size than announced would not fit the buffers
  // sized for the announced one.
  if (frame->width == width && frame->height == height && bgrSize <= outputCapacity && output) {
    scaler = sws_getCachedContext(scaler, width, height, static_cast<AVPixelFormat>(frame->format),
                                  width, height, AV_PIX_FMT_BGR24, ConversionFlags(width), nullptr,
                                  nullptr, nullptr);
    if (scaler && sws_scale(scaler, frame->data, frame->linesize, 0, height, frameBgr->data,
                            frameBgr->linesize) == height) {
      std::memcpy(output, bgrBuffer, static_cast<std::size_t>(bgrSize));
      if (outputSize) *outputSize = bgrSize;
      result = 1;
    }
  }
  av_frame_unref(frame);
  return result;
}

int VideoDecoder::Close() {
  avcodec_free_context(&context);
  av_free(bgrBuffer);
  bgrBuffer = nullptr;
  av_frame_free(&frameBgr);
  av_frame_free(&frame);
  av_packet_free(&packet);
  sws_freeContext(scaler);
  scaler = nullptr;
  codec = nullptr;
  bgrSize = 0;
  width = 0;
  height = 0;
  return 1;
}
