#pragma once
// The companion copy: after a backup the operator asked it for, the companion
// player, its libraries and data files, the system's own "setting.ini",
// "history.ini" and "server.db", and the "images" and "lang" folders go from
// the executable's folder into the backup folder, so that it plays elsewhere.
#include <QString>
#include <QStringList>

// The files copied, in this order.
const QStringList& CompanionFileNames();
// The folders copied whole after them, in this order.
const QStringList& CompanionFolderNames();
// Every name the copy puts at the top of the backup folder: the files, then the folders.
QStringList CompanionNames();

// What a companion copy could not copy first: a file, or a folder that could
// not be made, and the system's error number (0 when it gave none).
struct CompanionCopyFailure {
  QString name;
  int error = 0;
};

// Copies the tree under `source` to `destination` (created one level deep;
// an existing folder is fine), overwriting files. 1 when all of it was copied,
// 0 at the first file or subtree that failed, which stops the rest of the tree.
// A missing source copies nothing and gives 1. Links to folders are not followed.
// Files are copied durably (platform::CopyFileDurably): each target is either
// the whole copy or as it was. On failure a given `failure` names what failed
// by its full target path.
int CopyFolder(QString source, QString destination, CompanionCopyFailure* failure = nullptr);

// Copies every companion file present in `source` into `destination` (missing
// ones are skipped), then the "images" and "lang" trees. A file that fails
// does not stop the others; 1 when everything present arrived, else 0, and a
// given `firstFailure` then names the first that failed as it stands under
// `destination` ("Vestrel", "images/a.bmp").
int CopyCompanionFiles(QString source, QString destination, CompanionCopyFailure* firstFailure = nullptr);
// The same from the executable's folder.
int CopyCompanionFiles(QString destination, CompanionCopyFailure* firstFailure = nullptr);

// What the operator is told when the companion copy failed.
QString CompanionCopyFailureText(const CompanionCopyFailure& failure);

