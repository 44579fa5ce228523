#include "app/backup_messages.h"

#include "platform/core/files.h"

namespace {

// A path as a line of a box: control characters are shown as "?", so a path
// cannot break the box's lines, and a long one keeps its start and its end
// (the file's name).
QString Printable(const QString& path) {
  constexpr int kLongest = 60, kHead = 20;
  QString line = path.size() <= kLongest ? path
                                         : path.left(kHead) + QStringLiteral("...") + path.right(kLongest - kHead - 3);
  for (QChar& c : line)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char('?');
  return line.isEmpty() ? QStringLiteral("(no name)") : line;
}

// How many more there are than the lines shown.
QString MoreLine(int count, int shown) {
  return count > shown ? QStringLiteral("\n... and %1 more.").arg(count - shown) : QString();
}

// The paths, a line each, and how many more there are.
QString PathLines(int count, const QStringList& firstPaths) {
  QString text;
  for (const QString& path : firstPaths) text += QLatin1Char('\n') + Printable(path);
  return text + MoreLine(count, int(firstPaths.size()));
}

// The paths of files left out, each with its reason.
QString PathLines(int count, const std::vector<RefusedFile>& first) {
  QString text;
  for (const RefusedFile& file : first) {
    const QString reason = RefusalReasonText(file.reason);
    text += QLatin1Char('\n') + Printable(file.path);
    if (!reason.isEmpty()) text += QStringLiteral(" (") + reason + QLatin1Char(')');
  }
  return text + MoreLine(count, int(first.size()));
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

QString RefusalReasonText(int reason) {
  if (reason == RefusedFile::kRefusedName) return QString();
  if (reason == RefusedFile::kRefusedProgramName)
    return QStringLiteral("a file of the Vestrel Program takes this name");
  return platform::SystemErrorText(reason);
}

QString FinishedWithoutText(int count, const std::vector<RefusedFile>& first, bool withoutRecordList) {
  QString text = count == 1 ? QStringLiteral("The backup procedure is finished without 1 file: its name on the NVR "
                                             "cannot be saved in the backup folder.")
                            : QStringLiteral("The backup procedure is finished without %1 files: their names on the "
                                             "NVR cannot be saved in the backup folder.")
                                  .arg(count);
  text += PathLines(count, first);
  if (withoutRecordList)
    text += QStringLiteral("\nThe backup has no record list and will not play in the Vestrel Program.");
  return text;
}

QString NothingSavedText(int count, const std::vector<RefusedFile>& first) {
  const QString text = count == 1 ? QStringLiteral("Nothing of this job can be saved in the backup folder: the name of "
                                                   "its 1 file on the NVR cannot be saved there.")
                                  : QStringLiteral("Nothing of this job can be saved in the backup folder: the names "
                                                   "of its %1 files on the NVR cannot be saved there.")
                                        .arg(count);
  return text + PathLines(count, first);
}

QString JobLostWithConnectionText() {
  return QStringLiteral("The job is gone: the connection to the NVR was lost. Please log in again and add the job "
                        "anew with \"Add\".");
}
