// Runs the session-answer fuzz checks in every build over the answers a
// recorder gives and hostile variants of them.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(SessionAnswersFuzzChecks, HoldForRecorderAnswersAndTheirMutations) {
  const std::string inputs[] = {
      "",
      "login=1\n",
      "login=0\n",
      "Login=1\n",
      "login=",
      "id=7\nlease=30\n",
      "id=12\nlease=600\n",
      "result=-1\nlease=0\n",
      "result=-2\nlease=0\n",
      "500\n",
      "error=expired\n",
      "id=99999999999999999999lease",
      "id=-2147483649\nlease=1\n",
      "lease",
      "=lease=",
      std::string("id=\0lease=5\n", 12),
      std::string(127, '5'),
      std::string(300, '='),
  };
  std::mt19937 random(1102);
  for (const std::string& input : inputs) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    for (int round = 0; round < 40 && !input.empty(); ++round) {
      std::string mutated = input;
      mutated[random() % mutated.size()] = static_cast<char>(random());
      if (round % 4 == 0) mutated.resize(random() % mutated.size());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(mutated.data()), mutated.size());
    }
  }
}
