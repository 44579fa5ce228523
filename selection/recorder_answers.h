#pragma once
// The selection dialog's recorder requests and what it reads from their
// answers: the date check, the play privileges, the days of a month with
// recordings, the channel names and the pages of a day's record list. Plain
// functions over text, so each rule is checked without a recorder or window.
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace selection {

inline constexpr int kChannels = 16;
// The mask when the recorder names no privilege: channels 1 to 10.
inline constexpr int kDefaultPlayPrivilege = 1023;
inline constexpr int kRecordsPerPage = 300;
// A recorder that reports an absurd total would keep the window busy with
// millions of page requests; no day holds more than this many pages.
inline constexpr int kMaxRecordPages = 1000;
// A channel name keeps at most this many characters once decoded.
inline constexpr int kMaxNameChars = 19;

// Request texts.
inline const QString kDateTimePath = QStringLiteral("/config/datetime");
inline const QString kUserPrivilegesPath = QStringLiteral("/config/userprivileges");
inline const QString kChannelListPath = QStringLiteral("/live/avdevlist");
QString RecordDatesPath(int year, int month);
QString RecordListPath(int playId, int start, int year, int month, int day);

// Cuts text at each separator: the number of separators plus one pieces, the
// text after the last separator (possibly empty) included.
int SplitByChar(QStringList* pieces, const QString& text, QChar separator);

// True when the answer's first four bytes are "date".
bool IsDateAnswer(const char* answer, int size);

// The value after "=" on the "playprivilege" line, which must end with a line
// feed; the default mask otherwise.
int ParsePlayPrivilege(const QString& answer);

// The day numbers of the complete lines (each the number after the line's
// last ","), in answer order; numbers the month does not have are dropped.
std::vector<int> ParseRecordDays(const QString& answer, int daysInMonth);

// "CH%.2d %s", cut to 13 characters and "..." when longer than 14 (12 when
// the 13th would be the first half of a two-unit character).
QString ChannelCaption(int channel, const QString& name);

// The channel list: line 0 "key=N", then one line per channel whose field
// between the first and the second ";" is its name in UTF-8 (the answer's
// bytes taken one unit each). Fills names[k-1] with channel k's caption for
// k = 1..min(N, 16) and leaves the rest empty. False when the answer is
// malformed (no "=" after line 0's first character, or a channel line without
// two ";"), in which case the captions on screen must not change.
bool ParseChannelNames(const QString& answer, std::array<QString, kChannels>* names);

struct RecordItem {
  int channel = 0;  // 1..16
  int start = 0;    // seconds of the day
  int end = 0;
  int type = 0;     // record-type bits
  friend bool operator==(const RecordItem&, const RecordItem&) = default;
};

// One record line: "t1=HHMMSS;", "t2=HHMMSS;", "type=" and one value per
// channel whose privilege bit is set, channel 16 first. Positive values become
// items; a malformed line adds nothing.
void ParseRecordLine(const QString& line, int privilege, std::vector<RecordItem>* items);

// One page of the record list: the day's total (after line 0's first "="),
// and the records of lines 2 on when line 2 begins with "t".
int ParseRecordPage(const QString& answer, int privilege, std::vector<RecordItem>* items);

}  // namespace selection
