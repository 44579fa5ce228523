#include "selection/selection_queries.h"

#include <QDate>
#include <cstring>

#include "nvr/nvr_session.h"

namespace selection {

int SelectionQueries::Fetch(const QString& path, char* buffer, int capacity) {
  std::memset(buffer, 0, std::size_t(capacity));
  if (!http_.GetToBuffer(path, buffer, capacity)) return 0;
  int status = 0;
  if (!http_.QueryStatusCode(&status)) return 0;
  return status;
}

bool SelectionQueries::Connect(const QString& host, const QString& user, const QString& password, int port) {
  if (host.isEmpty()) return false;
  if (!http_.Connect(host, user, password, kQueryConnectTimeoutMs, 0, port)) return false;
  char answer[kSmallAnswerSize];
  Fetch(kDateTimePath, answer, sizeof answer);
  if (!IsDateAnswer(answer, sizeof answer)) {
    http_.Close();
    return false;
  }
  return true;
}

int SelectionQueries::ReadPlayPrivilege() {
  char answer[kSmallAnswerSize];
  Fetch(kUserPrivilegesPath, answer, sizeof answer);
  return ParsePlayPrivilege(nvr::AnswerText(answer, sizeof answer));
}

std::optional<std::vector<int>> SelectionQueries::RecordDays(int year, int month) {
  if (Fetch(RecordDatesPath(year, month), answer_, kAnswerSize) == kStatusUnavailable) return std::nullopt;
  const int days = (month >= 1 && month <= 12) ? QDate(year, month, 1).daysInMonth() : 0;
  return ParseRecordDays(nvr::AnswerText(answer_, kAnswerSize), days);
}

SelectionQueries::Names SelectionQueries::ChannelNames(std::array<QString, kChannels>* names) {
  if (Fetch(kChannelListPath, answer_, kAnswerSize) == kStatusUnavailable) return Names::Unavailable;
  return ParseChannelNames(nvr::AnswerText(answer_, kAnswerSize), names) ? Names::Refresh : Names::Unavailable;
}

std::vector<RecordItem> SelectionQueries::RecordList(int playId, int year, int month, int day, int privilege) {
  std::vector<RecordItem> items;
  std::vector<char> page(kRecordPageSize);
  int start = 0;
  for (int pages = 0; pages < kMaxRecordPages; ++pages) {
    Fetch(RecordListPath(playId, start, year, month, day), page.data(), kRecordPageSize);
    const int total = ParseRecordPage(nvr::AnswerText(page.data(), kRecordPageSize), privilege, &items);
    if (total == 0) break;
    start += kRecordsPerPage;
    if (start > total) break;
  }
  return items;
}

}  // namespace selection
