#pragma once
// Downloads one recorder path into one local file on a thread of its own.
//
// The body goes to a temporary beside the target that no other file can be
// (platform::TemporaryFile), which is synced and renamed over the target only
// when complete; any other end removes it and leaves the target as it was.
// The owner starts, pauses (state := kDownloadPauseRequested) or stops (Stop)
// the run and reads the outcome from the state: kDownloadComplete, paused
// (still kDownloadPauseRequested) or failed (kDownloadRunningOrFailed), with
// the last HTTP status.
#include <QString>

#include <atomic>

#include "nvr/connection_data.h"
#include "nvr/download_state.h"
#include "platform/core/thread.h"
#include "platform/core/window_post.h"

namespace nvr {

class DownloadTask {
 public:
  static constexpr int kBufferSize = 32768;
  static constexpr int kConnectTimeoutMs = 30000;
  static constexpr int kPauseBeforeRequestMs = 500;

  DownloadTask() = default;
  ~DownloadTask();
  DownloadTask(const DownloadTask&) = delete;
  DownloadTask& operator=(const DownloadTask&) = delete;

  void SetConnection(const QString& host, const QString& user, const QString& password, int port, int https);
  void SetConnection(const ConnectionData& to) { connection_ = to; }
  void SetLocalPath(const QString& path) { localPath_ = path; }
  QString GetLocalPath() const { return localPath_; }
  void SetUrl(const QString& path) { url_ = path; }
  // Largest body kept, in bytes; a longer one fails as soon as it passes it.
  // 0 = no limit.
  void SetSizeLimit(qint64 bytes) { sizeLimit_ = bytes; }

  // Starts a run (running := 1) unless one is still going; false then.
  bool Start();
  // running := 0 and waits for the run to end (within about a second).
  void Stop();
  // Waits for a run that ends by itself.
  void Join() { thread_.Join(); }
  // True while a run's thread has not finished (the "thread handle is set").
  bool IsThreadActive() const { return thread_.IsActive(); }

  // One download on the calling thread.
  void Run();
  static int ThreadProc(DownloadTask* task);

  // Written by the owner while no run is active, except where said.
  platform::WindowId notifyWindow = platform::kNoWindow;
  std::atomic<int> running{0};     // owner may clear it at any time to stop
  std::atomic<int> state{kDownloadRunningOrFailed};  // owner may request a pause at any time
  std::atomic<int> httpStatus{0};  // written by the run
  // Why a run failed, written before its report: the system's error number
  // when the file or its temporary could not be created, written, synced or
  // renamed (0 otherwise), and whether the answer broke off after its headers.
  std::atomic<int> fileError{0};
  std::atomic<int> bodyBroken{0};
  int rowIndex = 0;                // kept for the owner; never read here

 private:
  ConnectionData connection_;
  QString localPath_;
  QString url_;
  qint64 sizeLimit_ = 0;
  platform::Thread thread_;
};

// Creates the folder that will hold the file (and its parents) when missing.
// The system's error number when it could not, else 0.
int CreateParentDirectory(const QString& filePath);

}  // namespace nvr
