// Runs the answer-file fuzz checks in every build over fixed inputs and
// deterministic mutations of them, so a found fault stays found.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::string RecordList(std::uint32_t count, const std::string& time) {
  std::string b = "RLDB";
  for (int i = 0; i < 4; ++i) b += char((count >> (8 * i)) & 0xFF);
  b += std::string(48, '\xAA');
  for (std::uint32_t i = 0; i < count; ++i) b += "000000" + time + std::string(13, '\xBB');
  return b;
}

}  // namespace

TEST(AnswerFileFuzzChecks, HoldForAnswersListsAndTheirMutations) {
  const std::string limit = {char(10), char(5), char(0)};
  const std::string inputs[] = {
      "",
      limit + "to,750\n/rec/2012/05/03/a.avi,700\n/rec/2012/05/03/RecordList.db,50\n",
      limit + "to,1\n/../../etc/x,1\n/rec/./a,1\n//rec//b,1\n/rec/..x/c,1\nrel/d,1\n/,1\n",
      limit + RecordList(3, "100501") + "TAIL",
      limit + RecordList(2, "1x0000"),
      limit + RecordList(2, "100500"),
      std::string{char(24), char(59), char(59)} + RecordList(1, "995999"),
      std::string{char(0), char(0), char(0)} + RecordList(2, "000001"),
      limit + RecordList(0, ""),
      limit + RecordList(5, "120000").substr(0, 56 + 25 * 4),
  };
  std::mt19937 random(20120503);
  for (const std::string& input : inputs) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    for (int round = 0; round < 40 && !input.empty(); ++round) {
      std::string mutated = input;
      const int flips = 1 + static_cast<int>(random() % 6);
      for (int i = 0; i < flips; ++i) mutated[random() % mutated.size()] = static_cast<char>(random());
      if (round % 5 == 0) mutated.resize(random() % mutated.size());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(mutated.data()), mutated.size());
    }
  }
}
