#pragma once
// Answers a recorder gives the selection dialog, well formed and not, as fuzz
// inputs: two bytes of play-privilege mask (low byte first), then the
// answer's bytes. The seed program writes them as the corpus; the checks of
// the ordinary build replay them.
#include <string>
#include <vector>

namespace recorder_answers_samples {

struct Sample {
  const char* name;
  std::string input;
};

inline std::string WithMask(unsigned mask, std::string answer) {
  std::string input;
  input += static_cast<char>(mask & 0xFF);
  input += static_cast<char>((mask >> 8) & 0xFF);
  return input + answer;
}

inline std::vector<Sample> Samples() {
  return {
      {"datetime", WithMask(0xFFFF, "date=2012/05/13\ntime=10:00:00\n")},
      {"privileges", WithMask(0xFFFF, "user=admin\nplayprivilege=32773\nbackupprivilege=65535\n")},
      {"privileges_last_line", WithMask(0x03FF, "user=admin\nplayprivilege=15")},
      {"days", WithMask(0xFFFF, "2012,05,03\n2012,05,17\n2012,02,29\n2012,05,31")},
      {"days_out_of_month", WithMask(0xFFFF, "2012,05,0\n2012,05,32\n2012,05,-4\n2012,05,99999999999\n,\n")},
      {"channels", WithMask(0xFFFF, "avdevnum=3\n1;Front Door;1\n2;A very long name indeed;1\n3;\xE5\xA4\xA7\xE9\x97\xA8;1\n")},
      {"channels_many", WithMask(0xFFFF, "avdevnum=40\n" + [] {
                                   std::string lines;
                                   for (int i = 1; i <= 40; ++i) lines += std::to_string(i) + ";cam" + std::to_string(i) + ";1\n";
                                   return lines;
                                 }())},
      {"channels_broken", WithMask(0xFFFF, "avdevnum=2\n1;Gate\n")},
      {"channels_astral", WithMask(0xFFFF, "n=2\n1;\xF0\x9F\x8E\xA5\xF0\x9F\x8E\xA5\xF0\x9F\x8E\xA5\xF0\x9F\x8E\xA5;1\n"
                                           "2;Gate 12\xF0\x9F\x8E\xA5\xF0\x9F\x8E\xA5;1\n")},
      {"records", WithMask(0xFFFF, "total=2\ncount=2\n"
                                   "t1=081500;t2=093000;type=0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1\n"
                                   "t1=120000;t2=121500;type=16,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1\n")},
      {"records_some_channels", WithMask(0x8005, "total=1\ncount=1\nt1=000000;t2=000100;type=4,2,0\n")},
      {"records_odd", WithMask(0xFFFF, "total=301\ncount=3\nt1=8150;t2=093000;type=1\n"
                                       "t1=-10000;t2=999999;type=1,-1\nt1=995959;t2=000000;type=7,\n")},
      {"records_none", WithMask(0xFFFF, "total=0\n")},
      {"empty", WithMask(0, "")},
  };
}

}  // namespace recorder_answers_samples
