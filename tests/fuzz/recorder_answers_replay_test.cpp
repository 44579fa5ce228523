// Runs the recorder-answer fuzz checks in every build over the sample answers,
// answers longer than each query's buffer, and deterministic mutations of
// them, so a found fault stays found.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "tests/fuzz/recorder_answers_samples.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Feed(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

}  // namespace

TEST(RecorderAnswersFuzzChecks, HoldForSampleAnswersAndTheirMutations) {
  using recorder_answers_samples::WithMask;
  auto inputs = recorder_answers_samples::Samples();
  // Answers cut by the 512-, 1024- and 22000-byte buffers, mid-line.
  std::string days, records = "total=900\ncount=300\n";
  for (int i = 0; i < 200; ++i) days += "2012,05," + std::to_string(i % 40) + "\n";
  for (int i = 0; records.size() < 23000; ++i)
    records += "t1=" + std::to_string(100000 + i % 140000) + ";t2=235959;type=1,2,4,16,32,0,0,0,0,0,0,0,0,0,0,3\n";
  inputs.push_back({"long_days", WithMask(0xFFFF, days)});
  inputs.push_back({"long_records", WithMask(0x7FFF, records)});

  std::mt19937 random(20120513);
  for (const auto& sample : inputs) {
    SCOPED_TRACE(sample.name);
    Feed(sample.input);
    for (int round = 0; round < 100; ++round) {
      std::string mutated = sample.input;
      if (mutated.size() > 2) {
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i) {
          const char bytes[] = {'\n', ';', ',', '=', '-', '0', '9', 't', '\0', '\x80', '\xF0'};
          mutated[2 + random() % (mutated.size() - 2)] = round % 2 ? bytes[random() % sizeof bytes]
                                                                   : static_cast<char>(random());
        }
        // Now and then cut the answer short, too.
        if (round % 5 == 0) mutated.resize(2 + random() % (mutated.size() - 2));
      }
      Feed(mutated);
    }
  }
}
