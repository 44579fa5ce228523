#pragma once
// The executable's folder and the few file and folder operations the program uses.
#include <QString>

namespace platform {

// The running program's file, from /proc/self/exe; empty when it cannot be read.
QString ExecutablePath();
// The folder of the running program's file, ending with "/".
QString ExecutableFolder();
// Tests give the program a folder of their own in place of the executable's,
// so that nothing they write lands beside the built program. An empty folder
// restores the real one. Returns the folder installed before.
QString SetExecutableFolderOverride(const QString& folder);

bool PathExists(const QString& path);
// Creates the folder and any missing parents; true when it exists afterwards.
// On false, errno says why the first folder that could not be made was not.
bool CreateDirectoryChain(const QString& path);
// The system's own words for an error number, as "No space left on device".
QString SystemErrorText(int error);
// True when the file is gone afterwards (a missing file counts as deleted).
bool DeleteFilePath(const QString& path);

}  // namespace platform
