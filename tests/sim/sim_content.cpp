// Generated contents of the simulated recorder: file bytes, record lists and
// preview packets. Everything here is deterministic so tests can recompute it.
#include "sim_content.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

// File bytes repeat with a prime period, so a block boundary never lines up
// with a power of two and a misplaced chunk shows in a comparison.
constexpr size_t kPatternPeriod = 65521;

const std::vector<uint8_t>& PatternTable() {
  static const std::vector<uint8_t> table = [] {
    std::vector<uint8_t> t(kPatternPeriod + kMaxPatternRun);
    uint32_t x = 0x9E3779B9u;
    for (size_t i = 0; i < kPatternPeriod; ++i) {
      x = x * 1664525u + 1013904223u;
      t[i] = static_cast<uint8_t>(x >> 24);
    }
    for (size_t i = kPatternPeriod; i < t.size(); ++i) t[i] = t[i - kPatternPeriod];
    return t;
  }();
  return table;
}

void PutLe32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutLe16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

std::string SixDigits(int seconds_of_day) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d", seconds_of_day / 3600, seconds_of_day % 3600 / 60,
                seconds_of_day % 60);
  return buf;
}

}  // namespace

uint64_t PathSeed(std::string_view recorder_path) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : recorder_path) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

const uint8_t* PatternRun(uint64_t seed, uint64_t offset, size_t length) {
  if (length > kMaxPatternRun) return nullptr;
  const uint64_t start = (seed % kPatternPeriod + offset % kPatternPeriod) % kPatternPeriod;
  return PatternTable().data() + start;
}

uint8_t ContentByte(std::string_view recorder_path, uint64_t offset) {
  return *PatternRun(PathSeed(recorder_path), offset, 1);
}

std::string ContentBytes(std::string_view recorder_path, uint64_t offset, size_t length) {
  std::string out;
  out.reserve(length);
  const uint64_t seed = PathSeed(recorder_path);
  while (out.size() < length) {
    const size_t n = std::min(kMaxPatternRun, length - out.size());
    out.append(reinterpret_cast<const char*>(PatternRun(seed, offset + out.size(), n)), n);
  }
  return out;
}

std::string BuildRecordList(const Date& day, const std::vector<Recording>& recordings) {
  std::vector<Recording> sorted = recordings;
  std::stable_sort(sorted.begin(), sorted.end(), [](const Recording& a, const Recording& b) {
    return a.start != b.start ? a.start < b.start : a.channel < b.channel;
  });
  std::string s(56 + 25 * sorted.size(), '\0');
  std::memcpy(s.data(), "RLDB", 4);
  PutLe32(s, 4, static_cast<uint32_t>(sorted.size()));
  char date[16];
  std::snprintf(date, sizeof date, "%04d%02d%02d", day.year, day.month, day.day);
  std::memcpy(s.data() + 8, date, 8);
  for (size_t i = 0; i < sorted.size(); ++i) {
    const size_t at = 56 + 25 * i;
    std::memcpy(s.data() + at, SixDigits(sorted[i].start).data(), 6);
    std::memcpy(s.data() + at + 6, SixDigits(sorted[i].end).data(), 6);
    s[at + 12] = static_cast<char>(sorted[i].channel);
    s[at + 13] = static_cast<char>(sorted[i].type);
  }
  return s;
}

std::string BuildVideoPacket(const VideoPacketInfo& info, std::string_view payload) {
  std::string p(128, '\0');
  p[2] = '\x01';
  p[3] = '\xF3';
  PutLe32(p, 4, 128);
  PutLe32(p, 8, static_cast<uint32_t>(payload.size()));
  PutLe32(p, 20, info.seconds);
  PutLe32(p, 24, info.microseconds);
  PutLe32(p, 108, info.codec);
  PutLe16(p, 112, info.channel_mask);
  PutLe16(p, 114, info.width);
  PutLe16(p, 116, info.height);
  p.append(payload);
  return p;
}

std::string BuildOtherPacket(uint32_t type_code, uint32_t seconds, uint32_t microseconds,
                             std::string_view payload) {
  std::string p(48, '\0');
  p[2] = '\x01';
  p[3] = '\xF9';
  PutLe32(p, 4, 48);
  PutLe32(p, 8, static_cast<uint32_t>(payload.size()));
  PutLe32(p, 20, seconds);
  PutLe32(p, 24, microseconds);
  PutLe32(p, 28, type_code);
  p.append(payload);
  return p;
}

std::string DefaultStreamBytes(int channel) {
  const uint16_t mask = (channel >= 1 && channel <= 16) ? static_cast<uint16_t>(1u << (channel - 1)) : 1;
  std::string out;
  for (uint32_t i = 0; i < 6; ++i) {
    VideoPacketInfo info;
    info.seconds = 1700000000u + i / 2;
    info.microseconds = (i % 2) * 500000u;
    info.codec = 100;
    info.channel_mask = mask;
    info.width = 352;
    info.height = 240;
    // Dummy picture: a JPEG frame of markers around a counting payload.
    std::string payload = "\xFF\xD8";
    for (int k = 0; k < 200; ++k) payload.push_back(static_cast<char>((k + i) & 0x7F));
    payload += "\xFF\xD9";
    out += BuildVideoPacket(info, payload);
    if (i == 2) out += BuildOtherPacket(201, info.seconds, info.microseconds, std::string(64, '\x55'));
  }
  return out;
}

const std::vector<std::string>& DefaultChannelNames() {
  static const std::vector<std::string> names = {
      "Front Door", "Back Yard",     "Garage",        "Lobby",
      "Parking North", "Parking South", "Warehouse", "Loading Bay",
      "Office",     "Reception",     "Caf\xC3\xA9",   "Corridor 1",
      "Corridor 2", "Stairs",        "Roof",          "Gate"};
  return names;
}

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return days[month - 1];
}

std::vector<Recording> DefaultDayRecordings(const Date& day) {
  // A plausible day: most cameras record office hours, some run all night,
  // a few motion events. Varies a little with the day so days differ.
  std::vector<Recording> r;
  const int shift = (day.day % 3) * 900;  // 0, 15 or 30 minutes
  for (int ch = 1; ch <= 16; ++ch) {
    if (ch % 4 == 0) {
      r.push_back({ch, 0, 6 * 3600, 1});
      r.push_back({ch, 18 * 3600 + shift, 86400, 1});
    } else {
      r.push_back({ch, 8 * 3600 + shift, 12 * 3600, 1});
      r.push_back({ch, 13 * 3600, 17 * 3600 + 1800, 1});
    }
    if (ch % 3 == 1) r.push_back({ch, 20 * 3600 + 600 * ch, 20 * 3600 + 600 * ch + 420, 2});
  }
  return r;
}

std::vector<Date> DefaultRecordedDays(const Date& today) {
  std::vector<Date> days;
  for (int back : {9, 5, 2, 0}) {
    if (today.day - back >= 1) days.push_back({today.year, today.month, today.day - back});
  }
  Date last{today.year, today.month - 1, 1};
  if (last.month < 1) {
    last.month = 12;
    last.year -= 1;
  }
  for (int d : {3, 12, 20, 27}) {
    if (d <= DaysInMonth(last.year, last.month)) days.push_back({last.year, last.month, d});
  }
  std::sort(days.begin(), days.end());
  return days;
}

}  // namespace sim
