#pragma once
// The recorder's answer file ("%.6d.txt": a total line, one line per file, the
// day's record list last) and the record-list file with its end-time clamp.
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace nvr {

// Appends every piece that is followed by the separator (empty ones too); the
// text after the last separator is not a piece.
void SplitString(const QString& text, QChar separator, QStringList* pieces);

// The total size from the answer file's first line ("to...,<total>"), which must
// end within its first 80 bytes; 0 when it cannot be read.
std::int64_t ReadAnswerFileTotal(const QString& path);

// The recorder path of a "path,size" line: the text before its first ",".
QString RecorderPathOfLine(const QString& line);

// A recorder path (its Latin-1 bytes) that may be placed under a local
// folder: no "." or ".." component, no backslash, no control bytes.
bool IsSafeRecorderPath(QByteArrayView path);

enum class ClampResult {
  Clamped,    // the list was rewritten (also when no time changed)
  NotAList,   // missing, unreadable, short or with a count outside 1..100000: untouched
  WriteFailed,  // the rewrite failed (a full disk, say): the file is exactly as it was
};

// Rewrites every entry time after hour:minute:second down to that limit (to one
// second before it when the limit is a whole minute). The rewrite keeps only
// header and entries, and replaces the file durably: it is synced before this
// returns, and a failed rewrite leaves the old file.
ClampResult ClampRecordListEndTimes(int hour, const QString& path, int minute, int second);

}  // namespace nvr
