#pragma once
// What the operator is told when files of a backup did not arrive: a file that
// could not be fetched or saved, and the files the backup finished without.
#include <QString>
#include <QStringList>

// The text for a download that ended without its file, from what the worker
// reported: a file the backup folder could not take (with the system's
// reason), a missing file on the recorder (404), or a recorder that did not
// answer or broke off mid-body. Empty when the failure has no message (an
// error page, an empty body).
QString DownloadFailureText(int httpStatus, bool bodyBroken, int fileError, const QString& localPath);

// A file of the backup that could not be created, written, synced or renamed.
QString NotSavedText(int fileError, const QString& localPath);

// Files that arrived but are no longer in the backup folder as they were
// (removed, or changed size, since): how many, and the first few.
QString LostFilesText(int count, const QStringList& firstPaths);
inline constexpr int kLostPathsShown = 5;

// The end of a backup that had to leave out `count` files whose recorder
// paths cannot be saved in the backup folder; `firstPaths` are the first few.
QString FinishedWithoutText(int count, const QStringList& firstPaths);
inline constexpr int kFinishedWithoutPathsShown = 5;
