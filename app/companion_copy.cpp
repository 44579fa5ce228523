#include "app/companion_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/core/durable_file.h"
#include "platform/core/files.h"


namespace {

QString WithSlash(QString folder) {
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

// The files that hold passwords stay readable by their owner only.
platform::FileAccess AccessFor(const QString& name) {
  return name == QLatin1String("history.ini") || name == QLatin1String("server.db") ? platform::FileAccess::OwnerOnly
                                                                                     : platform::FileAccess::Default;
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

bool CopyFileOver(const QString& from, const QString& to, platform::FileAccess access) {
  return platform::CopyFileDurably(from, to, access);
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
    } else if (!CopyFileOver(entry.filePath(), target, platform::FileAccess::Default)) {
      return 0;
    }
  }
  return 1;
}

int CopyCompanionFiles(QString source, QString destination) {
  source = WithSlash(source);
  destination = WithSlash(destination);
  int all = 1;
  // A missing file leaves only that file out.
  for (const QString& name : CompanionFileNames()) {
    if (!QFileInfo::exists(source + name)) continue;
    if (!CopyFileOver(source + name, destination + name, AccessFor(name))) all = 0;
  }
  if (CopyFolder(source + QStringLiteral("images"), destination + QStringLiteral("images")) == 0) all = 0;
  if (CopyFolder(source + QStringLiteral("lang"), destination + QStringLiteral("lang")) == 0) all = 0;
  return all;
}

int CopyCompanionFiles(QString destination) { return CopyCompanionFiles(platform::ExecutableFolder(), destination); }
