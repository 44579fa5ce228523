// Runs the file list's fuzz checks in every build over answer files with
// hostile paths (files where others' folders are among them, paths listed
// twice) and deterministic mutations of them.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Feed(const std::string& answer) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(answer.data()), answer.size());
}

}  // namespace

TEST(ProcessFileListFuzzChecks, HoldForHostileAnswersAndTheirMutations) {
  const std::string paths[] = {"/rec/2013/03/04/ch01/080000.avi",
                               "rec/no-leading-slash.avi",
                               "/rec/../../../../evil.bin",
                               "/rec/..",
                               "..",
                               "/./x",
                               "/rec\\..\\x.avi",
                               "/rec/a\r/b.avi",
                               "/rec/\x01\x7f\n.avi",
                               "/rec/\xff\xfe/\x80.avi",
                               "//double//slash//",
                               "/rec/a b/#1?x=y&path=/etc/passwd",
                               "/" + std::string(4095, 'a'),
                               "/" + std::string(4096, 'a'),
                               "/" + std::string(3000, '\xe9'),
                               "/rec/2013/03/04/ch01",
                               "/rec/a",
                               "rec//a/b.avi/c",
                               ""};
  std::string answer = "to,12345\n";
  for (const std::string& p : paths) answer += p + ",100\n";
  answer += "no comma line\n/rec/2013/03/04/RecordList.db,131\ntrailing";
  Feed(answer);
  for (const std::string& p : paths) Feed("to,1\n" + p + ",5\n" + p + ",6\n");
  // Every path listed again, far from its first listing.
  std::string twice = "to,1\n";
  for (int copy = 0; copy < 2; ++copy)
    for (const std::string& p : paths) twice += p + ",7\n";
  Feed(twice + "/rec/2013/03/04/RecordList.db,131\n");
  std::mt19937 random(20130304);
  for (int round = 0; round < 2000; ++round) {
    std::string mutated = answer;
    const int flips = 1 + static_cast<int>(random() % 16);
    for (int i = 0; i < flips; ++i) {
      const char pick[] = {'\n', ',', '/', '.', '\r', '\\', '\0', char(random())};
      mutated[random() % mutated.size()] = pick[random() % sizeof pick];
    }
    if (round % 7 == 0) mutated.resize(random() % mutated.size());
    Feed(mutated);
  }
}
