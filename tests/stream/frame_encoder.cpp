#include "tests/stream/frame_encoder.h"

#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace stream_fixture {

const char* CodecName(Codec codec) {
  switch (codec) {
  case Codec::Mjpeg:
    return "Mjpeg";
  case Codec::Mpeg4:
    return "Mpeg4";
  case Codec::H264:
    return "H264";
  }
  return "?";
}

namespace {

const AVCodec* FindEncoder(Codec codec) {
  switch (codec) {
  case Codec::Mjpeg:
    return avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  case Codec::Mpeg4:
    return avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  case Codec::H264:
    return avcodec_find_encoder_by_name("libx264");
  }
  return nullptr;
}

} // namespace

FrameEncoder::FrameEncoder(Codec codec, int width, int height, EncoderOptions options)
    : width_(width), height_(height), bgr_(static_cast<std::size_t>(width) * height * 3) {
  const AVCodec* encoder = FindEncoder(codec);
  if (!encoder) throw std::runtime_error(std::string("no encoder for ") + CodecName(codec));
  context_ = avcodec_alloc_context3(encoder);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!context_ || !frame_ || !packet_) throw std::runtime_error("out of memory");

  const AVPixelFormat format = codec == Codec::Mjpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
  context_->width = width;
  context_->height = height;
  context_->pix_fmt = format;
  context_->time_base = AVRational{1, 25};
  context_->framerate = AVRational{25, 1};
  context_->gop_size = options.gopSize;
  context_->max_b_frames = 0;
  context_->thread_count = options.threads;
  if (codec == Codec::H264) {
    av_opt_set(context_->priv_data, "preset", options.x264Preset.c_str(), 0);
    // One packet out for every picture in, as a live camera sends them.
    av_opt_set(context_->priv_data, "tune", "zerolatency", 0);
    if (options.bitRate > 0) context_->bit_rate = options.bitRate;
  } else {
    context_->flags |= AV_CODEC_FLAG_QSCALE;
    context_->global_quality = FF_QP2LAMBDA * 3;
  }
  if (avcodec_open2(context_, encoder, nullptr) < 0)
    throw std::runtime_error(std::string("cannot open encoder ") + CodecName(codec));

  frame_->format = format;
  frame_->width = width;
  frame_->height = height;
  if (av_frame_get_buffer(frame_, 0) < 0) throw std::runtime_error("out of memory");
  toEncoder_ = sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, format, SWS_BICUBIC,
                              nullptr, nullptr, nullptr);
  if (!toEncoder_) throw std::runtime_error("no conversion to the encoder's format");
}

FrameEncoder::~FrameEncoder() {
  sws_freeContext(toEncoder_);
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  avcodec_free_context(&context_);
}

std::vector<std::uint8_t> FrameEncoder::EncodeSolid(std::uint8_t red, std::uint8_t green,
                                                    std::uint8_t blue) {
  for (std::size_t i = 0; i < bgr_.size(); i += 3) {
    bgr_[i] = blue;
    bgr_[i + 1] = green;
    bgr_[i + 2] = red;
  }
  return EncodeBgr(bgr_.data());
}

std::vector<std::uint8_t> FrameEncoder::EncodePattern(int index) {
  FillPattern(bgr_, width_, height_, index);
  return EncodeBgr(bgr_.data());
}

std::vector<std::uint8_t> FrameEncoder::EncodeBgr(const std::uint8_t* bgr) {
  if (av_frame_make_writable(frame_) < 0) throw std::runtime_error("frame not writable");
  const std::uint8_t* src[1] = {bgr};
  const int srcStride[1] = {width_ * 3};
  sws_scale(toEncoder_, src, srcStride, 0, height_, frame_->data, frame_->linesize);
  return EncodeFrame();
}

std::vector<std::uint8_t> FrameEncoder::EncodeFrame() {
  frame_->pts = pts_++;
  frame_->quality = context_->global_quality;
  if (avcodec_send_frame(context_, frame_) < 0) throw std::runtime_error("encoder refused a frame");
  std::vector<std::uint8_t> out;
  while (avcodec_receive_packet(context_, packet_) == 0) {
    out.insert(out.end(), packet_->data, packet_->data + packet_->size);
    av_packet_unref(packet_);
  }
  return out;
}

void FillPattern(std::vector<std::uint8_t>& bgr, int width, int height, int index) {
  bgr.resize(static_cast<std::size_t>(width) * height * 3);
  // A textured background drifting sideways and a bright square crossing it:
  // motion and detail, so the decoders do real work.
  const int shift = index * 4;
  const int box = height / 4;
  const int boxX = (index * 8) % (width > box ? width - box : 1);
  const int boxY = height / 3;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bgr.data() + static_cast<std::size_t>(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      const unsigned sx = static_cast<unsigned>(x + shift);
      unsigned h = (sx / 4) * 2654435761u ^ (static_cast<unsigned>(y) / 4) * 2246822519u;
      h ^= h >> 15;
      // Fine grain that changes with every picture, as a camera's sensor has.
      unsigned g2 = (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u) ^
                    (static_cast<unsigned>(index) * 83492791u);
      g2 ^= g2 >> 13;
      g2 *= 0x5bd1e995u;
      g2 ^= g2 >> 15;
      const int noise = static_cast<int>(h & 31) - 16 + static_cast<int>(g2 % 7) - 3;
      int b = static_cast<int>((sx * 255) / (width + 1) % 256) + noise;
      int g = (y * 255) / (height + 1) + noise;
      int r = 128 + noise;
      if (x >= boxX && x < boxX + box && y >= boxY && y < boxY + box) {
        b = 40;
        g = 220;
        r = 240;
      }
      row[x * 3] = static_cast<std::uint8_t>(b < 0 ? 0 : b > 255 ? 255 : b);
      row[x * 3 + 1] = static_cast<std::uint8_t>(g < 0 ? 0 : g > 255 ? 255 : g);
      row[x * 3 + 2] = static_cast<std::uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
    }
  }
}

} // namespace stream_fixture
