#pragma once
// The companion copy: after a backup the operator asked it for, the companion
// player, its libraries and data files, the system's own "setting.ini",
// "history.ini" and "server.db", and the "images" and "lang" folders go from
// the executable's folder into the backup folder, so that it plays elsewhere.
#include <QString>
#include <QStringList>

#include "platform/core/durable_file.h"

// The files copied, in this order.
const QStringList& CompanionFileNames();

// What a companion copy could not copy first: its name as it stands under the
// backup folder ("Vestrel", "images/a.bmp", or a folder that could not be
// made) and the system's error number.
struct CompanionCopyFailure {
  QString name;
  int error = 0;
};

// Copies the tree under `source` to `destination` (created one level deep;
// an existing folder is fine), overwriting files. 1 when all of it was copied,
// 0 at the first file or subtree that failed, which stops the rest of the tree.
// A missing source copies nothing and gives 1. Links to folders are not followed.
// On failure a given `failure` says what failed, by its full target path.
int CopyFolder(QString source, QString destination, CompanionCopyFailure* failure = nullptr);

// Copies every companion file present in `source` into `destination` (missing
// ones are skipped), then the "images" and "lang" trees. A file that fails
// does not stop the others; 1 when everything present arrived, else 0, and a
// given `firstFailure` then says which failed first.
int CopyCompanionFiles(QString source, QString destination, CompanionCopyFailure* firstFailure = nullptr);
// The same from the executable's folder.
int CopyCompanionFiles(QString destination, CompanionCopyFailure* firstFailure = nullptr);

// What the operator is told when the companion copy failed.
QString CompanionCopyFailureText(const CompanionCopyFailure& failure);

// Copies one file over another durably: the target is replaced only by a
// complete, synced copy. False, and the target as it was, when the copy
// failed; a given `error` then receives the system's reason. The copy's mode
// follows `access`; an executable stays executable.
bool CopyFileOver(const QString& from, const QString& to, platform::FileAccess access, int* error = nullptr);
