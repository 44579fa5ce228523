// The recorder's stream end to end: packets cut by the parser from network-
// sized chunks, pictures decoded and compared with what was encoded.

#include "selection/stream_packet_parser.h"
#include "selection/video_decoder.h"
#include "tests/stream/stream_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace stream_fixture;

namespace {

double MeanDifference(const Bytes& a, const Bytes& b, std::size_t size) {
  double sum = 0;
  for (std::size_t i = 0; i < size; ++i) sum += std::abs(a[i] - b[i]);
  return sum / static_cast<double>(size);
}

} // namespace

TEST(StreamDecode, EveryCodecPlaysBackThroughParserAndDecoder) {
  constexpr int kWidth = 160;
  constexpr int kHeight = 120;
  constexpr int kFrames = 12;
  const int expectedKind[] = {StreamPacketParser::kKindMjpeg, StreamPacketParser::kKindMpeg4,
                              StreamPacketParser::kKindH264};
  for (Codec codec : {Codec::Mjpeg, Codec::Mpeg4, Codec::H264}) {
    StreamOptions options;
    options.otherEvery = 3;
    options.channelMask = 0x0004;
    const Bytes stream = VideoStream(codec, kWidth, kHeight, kFrames, options);

    StreamPacketParser parser;
    ASSERT_EQ(parser.Init(), 1);
    VideoDecoder decoder;
    Bytes picture(kWidth * kHeight * 3);
    Bytes original;
    int videos = 0;
    int others = 0;
    for (std::size_t at = 0; at < stream.size(); at += 8192) {
      const std::size_t n = std::min<std::size_t>(8192, stream.size() - at);
      parser.Feed(stream.data() + at, static_cast<std::uint32_t>(n));
      while (const std::uint8_t* payload = parser.Parse()) {
        if (parser.kind > StreamPacketParser::kKindH264) {
          EXPECT_EQ(parser.kind, StreamPacketParser::kKindType201);
          ++others;
          continue;
        }
        const std::uint8_t* h = parser.videoHeader.get();
        EXPECT_EQ(parser.kind, expectedKind[static_cast<int>(codec)]);
        EXPECT_EQ(StreamPacketParser::ReadU16(h + StreamPacketParser::kOffsetChannelMask), 0x0004);
        ASSERT_EQ(StreamPacketParser::ReadU16(h + StreamPacketParser::kOffsetWidth), kWidth);
        ASSERT_EQ(StreamPacketParser::ReadU16(h + StreamPacketParser::kOffsetHeight), kHeight);
        EXPECT_EQ(StreamPacketParser::ReadU32(h + StreamPacketParser::kOffsetMicroseconds),
                  static_cast<std::uint32_t>(videos % 25) * 40000u);
        if (!decoder.context) {
          ASSERT_EQ(decoder.Open(VideoDecoder::CodecForKind(parser.kind), kWidth, kHeight), 1);
        }
        int size = 0;
        ASSERT_EQ(decoder.Decode(payload, parser.payloadLength, picture.data(),
                                 static_cast<int>(picture.size()), &size),
                  1)
            << CodecName(codec) << " picture " << videos;
        ASSERT_EQ(size, kWidth * kHeight * 3);
        FillPattern(original, kWidth, kHeight, videos);
        EXPECT_LT(MeanDifference(picture, original, picture.size()), 10.0)
            << CodecName(codec) << " picture " << videos;
        ++videos;
      }
    }
    EXPECT_EQ(videos, kFrames) << CodecName(codec);
    EXPECT_EQ(others, kFrames / 3) << CodecName(codec);
  }
}
