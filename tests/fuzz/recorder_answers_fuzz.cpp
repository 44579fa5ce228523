// Fuzz target for what the selection dialog reads from its recorder's
// answers. The input is two bytes of play-privilege mask, then one answer,
// put in each query's buffer as the HTTP client leaves it (cut below the
// buffer's size, zero behind it) and read by every parser: days stay within
// the month, at most 16 channels get a caption and each caption stays within
// its limit, records name only permitted channels 1 to 16 with a positive
// type, and nothing crashes.

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "nvr/nvr_session.h"
#include "selection/recorder_answers.h"
#include "selection/selection_queries.h"

namespace {

using namespace selection;

void Check(bool ok) {
  if (!ok) std::abort();
}

// The answer as a query of `capacity` bytes sees it.
QString Answer(const std::uint8_t* data, std::size_t size, int capacity, std::vector<char>* buffer) {
  buffer->assign(static_cast<std::size_t>(capacity), 0);
  std::memcpy(buffer->data(), data, std::min(size, static_cast<std::size_t>(capacity - 1)));
  return nvr::AnswerText(buffer->data(), capacity);
}

bool WellFormed(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].isHighSurrogate()) {
      if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate()) return false;
      ++i;
    } else if (text[i].isLowSurrogate()) {
      return false;
    }
  }
  return true;
}

void CheckSplit(const QString& text) {
  QStringList pieces;
  const int count = SplitByChar(&pieces, text, QLatin1Char('\n'));
  Check(count == pieces.size() && count == text.count(QLatin1Char('\n')) + 1);
  Check(pieces.join(QLatin1Char('\n')) == text);
}

void CheckDays(const QString& text) {
  const int lines = static_cast<int>(text.count(QLatin1Char('\n')));
  for (int daysInMonth : {0, 28, 29, 30, 31}) {
    const std::vector<int> days = ParseRecordDays(text, daysInMonth);
    Check(static_cast<int>(days.size()) <= lines);
    for (int day : days) Check(day >= 1 && day <= daysInMonth);
  }
}

void CheckCaptions(const QString& text) {
  std::array<QString, kChannels> names;
  for (QString& n : names) n = QStringLiteral("old");
  const bool refresh = ParseChannelNames(text, &names);
  int named = 0;
  for (int i = 0; i < kChannels; ++i) {
    const QString& caption = names[static_cast<std::size_t>(i)];
    // Every name is emptied first, whatever the answer.
    Check(caption != QStringLiteral("old"));
    if (caption.isEmpty()) continue;
    ++named;
    // "CH%.2d " then the name, cut to 13 characters and "..." past 14.
    Check(caption.size() <= 16);
    Check(caption.startsWith(QStringLiteral("CH%1").arg(i + 1, 2, 10, QLatin1Char('0'))));
    Check(caption.size() <= 14 || caption.endsWith(QStringLiteral("...")));
    Check(WellFormed(caption));
  }
  // Channels are named from 1 on, as far as the answer was whole; a refresh
  // names all of them up to the answer's count.
  for (int i = 0; i < named; ++i) Check(!names[static_cast<std::size_t>(i)].isEmpty());
  (void)refresh;
}

void CheckRecords(const QString& text, int privilege) {
  std::vector<RecordItem> items;
  ParseRecordPage(text, privilege, &items);
  const int lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
  Check(items.size() <= static_cast<std::size_t>(lines) * kChannels);
  // hh, mm and ss of two digits each at most.
  constexpr int kLatest = 99 * 3600 + 99 * 60 + 99;
  for (const RecordItem& item : items) {
    Check(item.channel >= 1 && item.channel <= kChannels);
    Check((privilege & (1 << (item.channel - 1))) != 0);
    Check(item.type > 0);
    Check(item.start >= 0 && item.start <= kLatest && item.end >= 0 && item.end <= kLatest);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int mask = data[0] | (data[1] << 8);
  data += 2;
  size -= 2;
  std::vector<char> buffer;

  const QString small = Answer(data, size, kSmallAnswerSize, &buffer);
  Check(IsDateAnswer(buffer.data(), kSmallAnswerSize) == (size >= 4 && std::memcmp(data, "date", 4) == 0));
  const int privilege = ParsePlayPrivilege(small);

  const QString answer = Answer(data, size, kAnswerSize, &buffer);
  CheckSplit(answer);
  CheckDays(answer);
  CheckCaptions(answer);

  const QString page = Answer(data, size, kRecordPageSize, &buffer);
  for (int p : {mask, privilege, kDefaultPlayPrivilege}) CheckRecords(page, p);
  return 0;
}
