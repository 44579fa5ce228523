#include "app/companion_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <sys/stat.h>

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

const QStringList& CompanionFolderNames() {
  static const QStringList names = {QStringLiteral("images"), QStringLiteral("lang")};
  return names;
}

QStringList CompanionNames() { return CompanionFileNames() + CompanionFolderNames(); }

int CopyFolder(QString source, QString destination, CompanionCopyFailure* failure) {
  // An existing folder is fine. One that could not be made is what failed
  // when a file in it then cannot be copied.
  const int unmade = ::mkdir(QFile::encodeName(destination).constData(), 0777) == 0 || errno == EEXIST ? 0 : errno;
  auto fail = [&](const CompanionCopyFailure& what) {
    if (failure != nullptr) *failure = unmade != 0 ? CompanionCopyFailure{destination, unmade} : what;
    return 0;
  };
  const QDir from(source);
  if (!from.exists()) return 1;
  const QFileInfoList entries =
      from.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& entry : entries) {
    const QString target = destination + QLatin1Char('/') + entry.fileName();
    if (entry.isDir()) {
      // A link to a folder may lead back up the tree: it is not followed.
      if (entry.isSymLink()) continue;
      CompanionCopyFailure inner;
      if (CopyFolder(entry.filePath(), target, &inner) == 0) return fail(inner);
    } else {
      int error = 0;
      if (!platform::CopyFileDurably(entry.filePath(), target, platform::FileAccess::Default, &error))
        return fail({target, error});
    }
  }
  return 1;
}

int CopyCompanionFiles(QString source, QString destination, CompanionCopyFailure* firstFailure) {
  source = WithSlash(source);
  destination = WithSlash(destination);
  int all = 1;
  auto failed = [&](const QString& target, int error) {
    if (all == 1 && firstFailure != nullptr) *firstFailure = {target.mid(destination.size()), error};
    all = 0;
  };
  // A missing file leaves only that file out.
  for (const QString& name : CompanionFileNames()) {
    if (!QFileInfo::exists(source + name)) continue;
    int error = 0;
    if (!platform::CopyFileDurably(source + name, destination + name, AccessFor(name), &error))
      failed(destination + name, error);
  }
  for (const QString& folder : CompanionFolderNames()) {
    CompanionCopyFailure failure;
    if (CopyFolder(source + folder, destination + folder, &failure) == 0) failed(failure.name, failure.error);
  }
  return all;
}

int CopyCompanionFiles(QString destination, CompanionCopyFailure* firstFailure) {
  return CopyCompanionFiles(platform::ExecutableFolder(), destination, firstFailure);
}

QString CompanionCopyFailureText(const CompanionCopyFailure& failure) {
  const QString reason =
      failure.error != 0 ? QStringLiteral(": ") + platform::SystemErrorText(failure.error) : QString();
  return QStringLiteral("The program files could not all be copied into the backup folder: ") + failure.name + reason;
}
