#pragma once
// The selection dialog's recorder queries over its own HTTP client, one after
// another on the calling thread, giving plain data: whether the recorder
// answers, the play privileges, the days of a month with recordings, the
// channel captions and a day's recordings. The dialog puts the data on its
// calendar, captions and time line.
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "nvr/http_get.h"
#include "selection/recorder_answers.h"

namespace selection {

inline constexpr int kQueryConnectTimeoutMs = 3000;
inline constexpr int kSmallAnswerSize = 512;    // date check, privileges
inline constexpr int kAnswerSize = 1024;        // days, channel names
inline constexpr int kRecordPageSize = 22000;   // one page of the record list
inline constexpr int kStatusUnavailable = 503;

class SelectionQueries {
 public:
  // `answer` is the caller's kAnswerSize-byte block for the day and name queries.
  SelectionQueries(nvr::HttpGet& http, char* answer) : http_(http), answer_(answer) {}

  // Connects and checks "/config/datetime". On a failed check the client is
  // closed for good, so every later query finds nothing. False without a host.
  bool Connect(const QString& host, const QString& user, const QString& password, int port);
  // The play-privilege mask from "/config/userprivileges" (1023 by default).
  int ReadPlayPrivilege();
  // The month's days with recordings; nullopt when the recorder has no data
  // for it (503), so nothing changes.
  std::optional<std::vector<int>> RecordDays(int year, int month);

  enum class Names {
    Unavailable,  // 503 or malformed: the captions stay as they are
    Refresh,      // put the non-empty names on the captions
  };
  // Channel captions from "/live/avdevlist"; names are emptied before the
  // answer is read (unless the recorder has no data, 503).
  Names ChannelNames(std::array<QString, kChannels>* names);

  // Every page of the day's record list, read while the start index stays
  // within the total.
  std::vector<RecordItem> RecordList(int playId, int year, int month, int day, int privilege);

 private:
  // Zeroes the buffer and fetches the path into it; the status of the answer,
  // or 0 when no request was made.
  int Fetch(const QString& path, char* buffer, int capacity);

  nvr::HttpGet& http_;
  char* answer_;
};

}  // namespace selection
