#include "app/companion_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/core/files.h"

namespace {

QString WithSlash(QString folder) {
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

}  // namespace

const QStringList& CompanionFileNames() {
  static const QStringList names = {
      QStringLiteral("libvestrelcodec.so"),    QStringLiteral("libvestreljpeg.so"),
      QStringLiteral("libavcodec.so.54"),      QStringLiteral("libavformat.so.54"),
      QStringLiteral("libavutil.so.51"),       QStringLiteral("libiconv.so.2"),
      QStringLiteral("libintl.so.8"),          QStringLiteral("libswresample.so.0"),
      QStringLiteral("libswscale.so.2"),       QStringLiteral("setting.ini"),
      QStringLiteral("history.ini"),           QStringLiteral("vestrel.sdb"),
      QStringLiteral("server.db"),             QStringLiteral("libvestrellog.so"),
      QStringLiteral("vestrellog.conf"),       QStringLiteral("Vestrel"),
  };
  return names;
}

bool CopyFileOver(const QString& from, const QString& to) {
  if (!QFileInfo(from).isFile()) return false;
  const QString part = to + QStringLiteral(".part");
  platform::DeleteFilePath(part);
  if (!QFile::copy(from, part)) {
    platform::DeleteFilePath(part);
    return false;
  }
  if (!platform::RenameOver(part, to)) {
    platform::DeleteFilePath(part);
    return false;
  }
  return true;
}

int CopyFolder(QString source, QString destination) {
  QDir().mkdir(destination);
  const QDir from(source);
  if (!from.exists()) return 1;
  const QFileInfoList entries =
      from.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& entry : entries) {
    const QString target = destination + QLatin1Char('/') + entry.fileName();
    if (entry.isDir()) {
      // A link to a folder may lead back up the tree: it is not followed.
      if (entry.isSymLink()) continue;
      if (CopyFolder(entry.filePath(), target) == 0) return 0;
    } else if (!CopyFileOver(entry.filePath(), target)) {
      return 0;
    }
  }
  return 1;
}

void CopyCompanionFiles(QString source, QString destination) {
  source = WithSlash(source);
  destination = WithSlash(destination);
  // A missing or unreadable file leaves only that file out.
  for (const QString& name : CompanionFileNames()) CopyFileOver(source + name, destination + name);
  CopyFolder(source + QStringLiteral("images"), destination + QStringLiteral("images"));
  CopyFolder(source + QStringLiteral("lang"), destination + QStringLiteral("lang"));
}

void CopyCompanionFiles(QString destination) { CopyCompanionFiles(platform::ExecutableFolder(), destination); }
