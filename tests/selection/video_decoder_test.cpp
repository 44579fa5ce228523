// The decoder alone: codecs by picture kind, opening for an announced size,
// decoding each codec, and input it must refuse or drop.
#include "selection/video_decoder.h"
#include "tests/stream/frame_encoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using stream_fixture::Codec;
using stream_fixture::CodecName;
using stream_fixture::FrameEncoder;

namespace {

using Bytes = std::vector<std::uint8_t>;

AVCodecID IdOf(Codec codec) {
  switch (codec) {
  case Codec::Mjpeg:
    return AV_CODEC_ID_MJPEG;
  case Codec::Mpeg4:
    return AV_CODEC_ID_MPEG4;
  case Codec::H264:
    return AV_CODEC_ID_H264;
  }
  return AV_CODEC_ID_NONE;
}

constexpr Codec kCodecs[] = {Codec::Mjpeg, Codec::Mpeg4, Codec::H264};

// Largest distance of any BGR byte from the expected colour.
int MaxDistance(const Bytes& bgr, std::size_t size, int red, int green, int blue) {
  int worst = 0;
  for (std::size_t i = 0; i + 2 < size; i += 3) {
    worst = std::max(worst, std::abs(bgr[i] - blue));
    worst = std::max(worst, std::abs(bgr[i + 1] - green));
    worst = std::max(worst, std::abs(bgr[i + 2] - red));
  }
  return worst;
}

} // namespace

TEST(VideoDecoder, KindsMapToTheirCodecs) {
  EXPECT_EQ(VideoDecoder::CodecForKind(0), AV_CODEC_ID_MJPEG);
  EXPECT_EQ(VideoDecoder::CodecForKind(1), AV_CODEC_ID_MPEG4);
  EXPECT_EQ(VideoDecoder::CodecForKind(2), AV_CODEC_ID_H264);
  EXPECT_EQ(VideoDecoder::CodecForKind(3), AV_CODEC_ID_NONE);
  EXPECT_EQ(VideoDecoder::CodecForKind(-1), AV_CODEC_ID_NONE);
}

TEST(VideoDecoder, OpenSizesTheBgrBufferForTheAnnouncedPicture) {
  for (Codec codec : kCodecs) {
    VideoDecoder d;
    ASSERT_EQ(d.Open(IdOf(codec), 640, 360), 1) << CodecName(codec);
    EXPECT_EQ(d.bgrSize, 691200);
    EXPECT_NE(d.context, nullptr);
    EXPECT_NE(d.bgrBuffer, nullptr);
    ASSERT_NE(d.frameBgr, nullptr) << CodecName(codec);
    EXPECT_EQ(d.frameBgr->linesize[0], 640 * 3);
  }
}

TEST(VideoDecoder, OpenRefusesWhatItCannotDecode) {
  struct Case {
    AVCodecID id;
    int width;
    int height;
  };
  const Case cases[] = {
      {AV_CODEC_ID_MJPEG, 0, 16},      {AV_CODEC_ID_MJPEG, 16, 0},     {AV_CODEC_ID_H264, -4, 16},
      {AV_CODEC_ID_H264, 65535, 65535}, {AV_CODEC_ID_NONE, 16, 16},
  };
  for (const Case& c : cases) {
    VideoDecoder d;
    EXPECT_EQ(d.Open(c.id, c.width, c.height), 0) << c.width << "x" << c.height;
    Bytes out(16, 0xAB);
    int outSize = -1;
    const std::uint8_t junk[4] = {1, 2, 3, 4};
    EXPECT_EQ(d.Decode(junk, 4, out.data(), 16, &outSize), 0);
    EXPECT_EQ(outSize, -1);
    EXPECT_EQ(d.Close(), 1);
  }
}

TEST(VideoDecoder, DecodesEachCodecToTheAnnouncedSizeAndColour) {
  // An odd width (rows of 3 x 50 bytes are not a multiple of 4) and a
  // colour of distinct components, so swapped channels would show.
  constexpr int kWidth = 50;
  constexpr int kHeight = 38;
  for (Codec codec : kCodecs) {
    FrameEncoder encoder(codec, kWidth, kHeight);
    VideoDecoder d;
    ASSERT_EQ(d.Open(IdOf(codec), kWidth, kHeight), 1) << CodecName(codec);
    const Bytes picture = encoder.EncodeSolid(200, 60, 120);
    ASSERT_FALSE(picture.empty());
    Bytes out(kWidth * kHeight * 3 + 16, 0xAB);
    int outSize = 0;
    ASSERT_EQ(d.Decode(picture.data(), static_cast<int>(picture.size()), out.data(),
                       static_cast<int>(out.size()), &outSize),
              1)
        << CodecName(codec);
    EXPECT_EQ(outSize, kWidth * kHeight * 3);
    EXPECT_LE(MaxDistance(out, outSize, 200, 60, 120), 10) << CodecName(codec);
    // Nothing is written past the picture.
    for (std::size_t i = outSize; i < out.size(); ++i) ASSERT_EQ(out[i], 0xAB);

    // A second picture of another colour replaces the first.
    const Bytes next = encoder.EncodeSolid(20, 220, 30);
    ASSERT_EQ(d.Decode(next.data(), static_cast<int>(next.size()), out.data(),
                       static_cast<int>(out.size()), &outSize),
              1);
    EXPECT_LE(MaxDistance(out, outSize, 20, 220, 30), 12) << CodecName(codec);
  }
}

TEST(VideoDecoder, InputWithoutAPictureLeavesTheOutputUntouched) {
  FrameEncoder mjpeg(Codec::Mjpeg, 16, 16);
  const Bytes whole = mjpeg.EncodeSolid(10, 20, 30);
  struct Case {
    const char* name;
    AVCodecID id;
    Bytes input;
  };
  const Case cases[] = {
      {"JPEG cut after its first markers", AV_CODEC_ID_MJPEG, Bytes(whole.begin(), whole.begin() + 20)},
      {"H.264 access unit delimiter only", AV_CODEC_ID_H264, {0, 0, 0, 1, 0x09, 0xF0}},
      {"MPEG-4 junk", AV_CODEC_ID_MPEG4, {0, 0, 1, 0xB6, 0x55, 0x55}},
      {"empty", AV_CODEC_ID_MJPEG, {}},
  };
  for (const Case& c : cases) {
    VideoDecoder d;
    ASSERT_EQ(d.Open(c.id, 16, 16), 1) << c.name;
    Bytes out(768, 0x5A);
    int outSize = 12345;
    EXPECT_EQ(d.Decode(c.input.empty() ? nullptr : c.input.data(), static_cast<int>(c.input.size()),
                       out.data(), 768, &outSize),
              0)
        << c.name;
    EXPECT_EQ(out, Bytes(768, 0x5A)) << c.name;
    EXPECT_EQ(outSize, 12345) << c.name;
  }
}

TEST(VideoDecoder, PictureOfAnotherSizeThanAnnouncedIsDropped) {
  struct Case {
    int encoded;
    int announced;
  };
  for (const Case c : {Case{32, 16}, Case{16, 32}}) {
    FrameEncoder encoder(Codec::Mjpeg, c.encoded, c.encoded);
    const Bytes picture = encoder.EncodeSolid(100, 100, 100);
    VideoDecoder d;
    ASSERT_EQ(d.Open(AV_CODEC_ID_MJPEG, c.announced, c.announced), 1);
    // The caller's buffer holds just the announced picture.
    Bytes out(c.announced * c.announced * 3, 0x11);
    int outSize = -1;
    EXPECT_EQ(d.Decode(picture.data(), static_cast<int>(picture.size()), out.data(),
                       static_cast<int>(out.size()), &outSize),
              0)
        << c.encoded << " announced as " << c.announced;
    EXPECT_EQ(out, Bytes(out.size(), 0x11));
    EXPECT_EQ(outSize, -1);
  }
}

TEST(VideoDecoder, OutputBufferSmallerThanThePictureIsRefused) {
  FrameEncoder encoder(Codec::Mjpeg, 16, 16);
  const Bytes picture = encoder.EncodeSolid(100, 150, 200);
  VideoDecoder d;
  ASSERT_EQ(d.Open(AV_CODEC_ID_MJPEG, 16, 16), 1);
  Bytes out(767, 0x22);
  int outSize = -1;
  EXPECT_EQ(d.Decode(picture.data(), static_cast<int>(picture.size()), out.data(), 767, &outSize), 0);
  EXPECT_EQ(out, Bytes(767, 0x22));
  EXPECT_EQ(outSize, -1);
  // The decoder still works for a caller with room.
  Bytes room(768);
  EXPECT_EQ(d.Decode(picture.data(), static_cast<int>(picture.size()), room.data(), 768, &outSize), 1);
  EXPECT_EQ(outSize, 768);
}

TEST(VideoDecoder, ClosingTwiceOrNeverOpenedIsHarmless) {
  VideoDecoder never;
  EXPECT_EQ(never.Close(), 1);
  EXPECT_EQ(never.Close(), 1);

  VideoDecoder d;
  ASSERT_EQ(d.Open(AV_CODEC_ID_H264, 64, 48), 1);
  EXPECT_EQ(d.Close(), 1);
  EXPECT_EQ(d.Close(), 1);
  EXPECT_EQ(d.context, nullptr);
  EXPECT_EQ(d.frame, nullptr);
  EXPECT_EQ(d.frameBgr, nullptr);
  EXPECT_EQ(d.packet, nullptr);
  EXPECT_EQ(d.bgrBuffer, nullptr);
  EXPECT_EQ(d.codec, nullptr);

  // A closed decoder decodes nothing; it can be opened again.
  FrameEncoder encoder(Codec::Mjpeg, 16, 16);
  const Bytes picture = encoder.EncodeSolid(1, 2, 3);
  Bytes out(768);
  int outSize = 0;
  EXPECT_EQ(d.Decode(picture.data(), static_cast<int>(picture.size()), out.data(), 768, &outSize), 0);
  ASSERT_EQ(d.Open(AV_CODEC_ID_MJPEG, 16, 16), 1);
  EXPECT_EQ(d.Decode(picture.data(), static_cast<int>(picture.size()), out.data(), 768, &outSize), 1);
  d.Destroy();
  EXPECT_EQ(d.context, nullptr);
}
