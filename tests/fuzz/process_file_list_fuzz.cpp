// Fuzz target for the progress dialog's file list: any answer file must give
// rows whose safe local paths, and the temporaries a download makes beside
// them, stay inside the backup folder with names and lengths a folder can
// hold, and whose requests (the dialog's own, RequestFor) carry no raw
// control byte; no two fetched rows have one local file, so no fetch
// replaces another's file. Refused rows are never fetched, so only safe
// ones count.

#include "app/process_file_list.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void Fail(int line) {
  std::fprintf(stderr, "check at line %d failed\n", line);
  std::abort();
}
#define Check(ok) ((ok) ? void() : Fail(__LINE__))

const QString kDestination = QStringLiteral("/media/L/backup201303041200");

bool Inside(const QString& path) {
  const QString clean = QDir::cleanPath(path);
  return clean.startsWith(kDestination + QLatin1Char('/')) && clean.size() > kDestination.size() + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray answer(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  ProcessFileList list(kDestination);
  nvr::NvrTime day;
  day.year = 2013, day.month = 3, day.day = 4;
  const bool listed = list.AddJobAnswer(answer, day, QStringLiteral("/opt/tarnwell/"));
  const qsizetype lines = answer.count('\n');
  // A row for the record list and each file line; line 0 gives none.
  Check(listed ? list.Count() == lines - 1 : list.Count() == 0);
  for (int row = 0; row < list.Count(); ++row) {
    Check(list.LocalPath(row).startsWith(kDestination + QLatin1Char('/')));
    Check(!list.ClampedSource(row).isEmpty() == (row == 0 && list.RecorderPath(0).contains(QStringLiteral("RecordList.db"))));
    if (!list.IsSafe(row)) continue;
    const QString local = list.LocalPath(row);
    const QString recorder = list.RecorderPath(row);
    Check(!recorder.isEmpty() && recorder.toUtf8().size() <= ProcessFileList::kMaxPathBytes);
    // The temporary beside the file: its name at most 12 bytes longer.
    Check(QFile::encodeName(local).size() + 12 < 4096);
    for (const QString& name : local.split(QLatin1Char('/'))) Check(name.toUtf8().size() <= ProcessFileList::kMaxNameBytes);
    // The file and its folder, where any temporary of it lies, are inside.
    Check(Inside(local));
    const QString folder = QDir::cleanPath(local + QStringLiteral("/.."));
    Check(folder == kDestination || Inside(folder));
    Check(list.ToRecorderPath(local) == (recorder.startsWith(QLatin1Char('/')) ? recorder : QLatin1Char('/') + recorder));
    const QString request = ProcessFileList::RequestFor(7, list.ToRecorderPath(local));
    Check(request.startsWith(QStringLiteral("/config/backupdownload?id=7&path=")));
    for (QChar c : request) Check(c.unicode() >= 0x20 && c.unicode() != 0x7F && c.unicode() <= 0xFF);
  }
  // Each fetched row has a file of its own, as the filesystem reads the path.
  QSet<QStringList> files;
  for (int row = 0; row < list.Count(); ++row) {
    if (!list.IsSafe(row)) continue;
    const QStringList names = list.RecorderPath(row).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    Check(!files.contains(names));
    files.insert(names);
  }
  return 0;
}
