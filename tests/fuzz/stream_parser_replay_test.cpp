// Runs the parser's fuzz checks in every build over fixture streams and
// deterministic mutations of them, so a found fault stays found.

#include "tests/stream/stream_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

using namespace stream_fixture;

TEST(StreamParserFuzzChecks, HoldForFixtureStreamsAndTheirMutations) {
  StreamOptions options;
  options.otherEvery = 2;
  const Bytes streams[] = {VideoStream(Codec::Mjpeg, 32, 24, 3, options),
                           VideoStream(Codec::Mpeg4, 32, 24, 3, options),
                           VideoStream(Codec::H264, 32, 24, 3, options)};
  std::mt19937 random(20120513);
  for (const Bytes& stream : streams) {
    LLVMFuzzerTestOneInput(stream.data(), stream.size());
    for (int round = 0; round < 100; ++round) {
      Bytes mutated = stream;
      const int flips = 1 + static_cast<int>(random() % 8);
      for (int i = 0; i < flips; ++i)
        mutated[random() % mutated.size()] = static_cast<std::uint8_t>(random());
      // Now and then cut the stream short, too.
      if (round % 5 == 0) mutated.resize(random() % mutated.size());
      LLVMFuzzerTestOneInput(mutated.data(), mutated.size());
    }
  }
}
