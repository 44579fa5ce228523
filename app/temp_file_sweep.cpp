#include "app/temp_file_sweep.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "app/brisnel_dlg.h"
#include "platform/core/files.h"

namespace {

QString& SweepFolderSetting() {
  static QString folder;
  return folder;
}

}  // namespace

bool IsTempFileName(const QString& name) {
  static const QRegularExpression pattern(
      QStringLiteral("^(?:[0-9]{6}\\.txt|[0-9]{4}_[0-9]{2}_[0-9]{2}_RecordList\\.db)(?:\\.part)?$"));
  return pattern.match(name).hasMatch();
}

void SweepTempFiles(const QString& folder) {
  const QDir dir(folder);
  // Hidden entries are not listed; links, sockets and devices are no plain files.
  for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot)) {
    if (entry.isSymLink() || !entry.isFile() || entry.isHidden()) continue;
    if (IsTempFileName(entry.fileName())) platform::DeleteFilePath(entry.filePath());
  }
}

QString SetTempSweepFolder(const QString& folder) {
  QString previous = SweepFolderSetting();
  SweepFolderSetting() = folder;
  return previous;
}

QString TempSweepFolder() {
  return SweepFolderSetting().isEmpty() ? platform::ExecutableFolder() : SweepFolderSetting();
}

void CBrisnelDlg::DeleteTempFiles() { SweepTempFiles(TempSweepFolder()); }
