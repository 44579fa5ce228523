#include "app/temp_file_sweep.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "platform/core/durable_file.h"
#include "platform/core/files.h"

bool IsTempFileName(const QString& name) {
  // Answer files and record lists, and the bare ".part" their downloads once used.
  static const QRegularExpression own(
      QStringLiteral("^(?:[0-9]{6}\\.txt|[0-9]{4}_[0-9]{2}_[0-9]{2}_RecordList\\.db)(?:\\.part)?$"));
  if (own.match(name).hasMatch()) return true;
  // "<name>.<six letters or digits>.part": what the durable writer leaves when
  // the program dies mid-write, of those two and of the two ini files (whose
  // history temporaries hold passwords). Their names are short, so their
  // temporaries always carry the whole name, never the shortened form.
  static const QRegularExpression temporary(QStringLiteral("^(.+)\\.[A-Za-z0-9]{6}\\.part$"));
  static const QRegularExpression base(QStringLiteral(
      "^(?:[0-9]{6}\\.txt|[0-9]{4}_[0-9]{2}_[0-9]{2}_RecordList\\.db|history\\.ini|setting\\.ini)$"));
  const QRegularExpressionMatch match = temporary.match(name);
  if (!match.hasMatch()) return false;
  const QString target = match.captured(1);
  return base.match(target).hasMatch() && platform::IsTemporaryNameOf(name, target);
}

void SweepTempFiles(const QString& folder) {
  const QDir dir(folder);
  // Hidden entries are not listed; links, sockets and devices are no plain files.
  for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot)) {
    if (entry.isSymLink() || !entry.isFile() || entry.isHidden()) continue;
    if (IsTempFileName(entry.fileName())) platform::DeleteFilePath(entry.filePath());
  }
}
