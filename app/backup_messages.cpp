#include "app/backup_messages.h"

#include "platform/core/files.h"

namespace {

// A path as a line of a box: control characters are shown as "?", so a path
// cannot break the box's lines, and a long one keeps its start and its end
// (the file's name).
QString Printable(const QString& path) {
  constexpr int kLongest = 120, kHead = 40;
  QString line = path.size() <= kLongest ? path
                                         : path.left(kHead) + QStringLiteral("...") + path.right(kLongest - kHead - 3);
  for (QChar& c : line)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char('?');
  return line.isEmpty() ? QStringLiteral("(no name)") : line;
}

// The paths, a line each, and how many more there are.
QString PathLines(int count, const QStringList& firstPaths) {
  QString text;
  for (const QString& path : firstPaths) text += QLatin1Char('\n') + Printable(path);
  if (count > firstPaths.size()) text += QStringLiteral("\n... and %1 more.").arg(count - firstPaths.size());
  return text;
}

}  // namespace

QString NotSavedText(int fileError, const QString& localPath) {
  const QString reason = fileError != 0 ? QStringLiteral(": ") + platform::SystemErrorText(fileError) : QString();
  return QStringLiteral("The file could not be saved in the backup folder%1.\n%2").arg(reason, localPath);
}

QString LostFilesText(int count, const QStringList& firstPaths) {
  const QString head = count == 1 ? QStringLiteral("The file is no longer in the backup folder as it arrived:")
                                  : QStringLiteral("%1 files are no longer in the backup folder as they arrived:")
                                        .arg(count);
  return head + PathLines(count, firstPaths);
}

QString DownloadFailureText(int httpStatus, bool bodyBroken, int fileError, const QString& localPath) {
  if (fileError != 0) return NotSavedText(fileError, localPath);
  if (httpStatus == 404) return QStringLiteral("Backup is interrupted because another backup procedure is running");
  if (httpStatus == 0 || bodyBroken) return QStringLiteral("Network Failed!");
  return QString();
}

QString FinishedWithoutText(int count, const QStringList& firstPaths, bool withoutRecordList) {
  QString text = count == 1 ? QStringLiteral("The backup procedure is finished without 1 file: its name on the NVR "
                                             "cannot be saved in the backup folder.")
                            : QStringLiteral("The backup procedure is finished without %1 files: their names on the "
                                             "NVR cannot be saved in the backup folder.")
                                  .arg(count);
  text += PathLines(count, firstPaths);
  if (withoutRecordList)
    text += QStringLiteral("\nThe backup has no record list and will not play in the Vestrel Program.");
  return text;
}

QString NothingSavedText(int count, const QStringList& firstPaths) {
  const QString text = count == 1 ? QStringLiteral("Nothing of this job can be saved in the backup folder: the name of "
                                                   "its 1 file on the NVR cannot be saved there.")
                                  : QStringLiteral("Nothing of this job can be saved in the backup folder: the names "
                                                   "of its %1 files on the NVR cannot be saved there.")
                                        .arg(count);
  return text + PathLines(count, firstPaths);
}

QString JobLostWithConnectionText() {
  return QStringLiteral("The job is gone: the connection to the NVR was lost. Please log in again and add the job "
                        "anew with \"Add\".");
}
