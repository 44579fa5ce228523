#pragma once
// What the operator is told when files of a backup did not arrive: a file that
// could not be fetched or saved, the files the backup finished without, a job
// of which nothing can be saved, and a job lost with the connection.
#include <QString>
#include <QStringList>

#include <vector>

#include "app/process_file_list.h"

// The text for a download that ended without its file, from what the worker
// reported: a file the backup folder could not take (with the system's
// reason), a 404, or a recorder that did not answer or broke off mid-body.
// A 404 gives "Backup is interrupted because another backup procedure is
// running": that is what the recorder means by it, and the text the operator
// must see, even where the file is simply missing. Empty when the failure has
// no message (an error page, an empty body).
QString DownloadFailureText(int httpStatus, bool bodyBroken, int fileError, const QString& localPath);

// A file of the backup that could not be created, written, synced or renamed,
// with the system's reason (none for an error number of 0).
QString NotSavedText(int fileError, const QString& localPath);

// Files that arrived but are no longer in the backup folder as they were
// (removed, or changed size, since): how many, and the first few.
QString LostFilesText(int count, const QStringList& firstPaths);
inline constexpr int kLostPathsShown = 5;

// The end of a backup that had to leave out `count` files whose recorder
// paths cannot be saved in the backup folder; `first` are the first few, each
// with its reason when it has one. `withoutRecordList`: the day's record list
// is among them, so the backup will not play in the companion program, which
// the text then says.
QString FinishedWithoutText(int count, const std::vector<RefusedFile>& first, bool withoutRecordList = false);
inline constexpr int kFinishedWithoutPathsShown = 5;

// A job none of whose `count` files can be saved in the backup folder: the
// backup did not happen.
QString NothingSavedText(int count, const std::vector<RefusedFile>& first);

// Why a file was left out, as its line in those texts says it ("" when the
// head line says it all).
QString RefusalReasonText(int reason);

// The job of the row to back up is gone: the recorder's lease failed while
// the backup settings were asked, and the session left the recorder.
QString JobLostWithConnectionText();
