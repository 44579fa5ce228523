#pragma once
// The values of a download's state (DownloadTask::state), which its owner, its
// worker and HttpGet::ReadToSink share.

namespace nvr {

inline constexpr int kDownloadRunningOrFailed = 0;
inline constexpr int kDownloadPauseRequested = 1;  // set by the owner
inline constexpr int kDownloadComplete = 2;        // set by the worker

}  // namespace nvr
