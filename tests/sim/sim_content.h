// Internal helpers of the simulated recorder's generated contents.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim_recorder.h"

namespace sim {

// Longest run PatternRun can hand out in one piece.
constexpr size_t kMaxPatternRun = 256 * 1024;

uint64_t PathSeed(std::string_view recorder_path);
// Pointer to `length` (<= kMaxPatternRun) contiguous content bytes of the file
// with this seed, starting at `offset`; valid for the program's life.
const uint8_t* PatternRun(uint64_t seed, uint64_t offset, size_t length);

const std::vector<std::string>& DefaultChannelNames();
int DaysInMonth(int year, int month);
std::vector<Recording> DefaultDayRecordings(const Date& day);
std::vector<Date> DefaultRecordedDays(const Date& today);

}  // namespace sim
