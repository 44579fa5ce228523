#pragma once
// The executable's folder and the few file and folder operations the program uses.
#include <QString>

namespace platform {

// The folder of the running program's file, ending with "/".
QString ExecutableFolder();
// Tests put the program's folder elsewhere (a small or read-only disk): while
// `folder` is not empty, ExecutableFolder gives it (with a "/" appended when
// missing). Returns the previous override.
QString SetExecutableFolderOverride(const QString& folder);

bool PathExists(const QString& path);
// Creates the folder and any missing parents; true when it exists afterwards.
bool CreateDirectoryChain(const QString& path);
// True when the file is gone afterwards (a missing file counts as deleted).
bool DeleteFilePath(const QString& path);
// Replaces `to` with `from` in one step (same filesystem).
bool RenameOver(const QString& from, const QString& to);

}  // namespace platform
