#include "nvr/download_task.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "nvr/http_get.h"
#include "nvr/nvr_messages.h"
#include "platform/core/durable_file.h"
#include "platform/core/files.h"

namespace nvr {

int CreateParentDirectory(const QString& filePath) {
  const qsizetype slash = filePath.lastIndexOf(QLatin1Char('/'));
  if (slash <= 0) return 0;
  const QString folder = filePath.left(slash);
  if (platform::PathExists(folder)) return 0;
  errno = 0;
  if (platform::CreateDirectoryChain(folder)) return 0;
  return errno != 0 ? errno : EIO;
}

DownloadTask::~DownloadTask() { Stop(); }

void DownloadTask::SetConnection(const QString& host, const QString& user, const QString& password, int port,
                                 int https) {
  connection_ = {host, user, password, port, https};
}

bool DownloadTask::Start() {
  if (thread_.IsActive()) return false;
  running = 1;
  return thread_.Start([this] { ThreadProc(this); });
}

void DownloadTask::Stop() {
  running = 0;
  thread_.Join();
}

int DownloadTask::ThreadProc(DownloadTask* task) {
  task->Run();
  return 0;
}

void DownloadTask::Run() {
  HttpGet http;
  // Every network wait gives up soon after the owner stops or pauses the run.
  http.SetAbortCheck([this] { return running.load() == 0 || state.load() == kDownloadPauseRequested; });
  platform::TemporaryFile file;
  state = kDownloadRunningOrFailed;
  std::vector<char> buffer(kBufferSize, 0);
  const QString workingPath = localPath_;
  const qint64 limit = sizeLimit_;
  httpStatus = 0;
  fileError = 0;
  bodyBroken = 0;

  if (running.load() != 0) {
    http.Connect(connection_, kConnectTimeoutMs);
    const int folderError = CreateParentDirectory(workingPath);
    if (!file.Create(workingPath, platform::FileAccess::Default)) {
      // A folder that could not be made says more than the missing folder does.
      fileError = folderError != 0 ? folderError : file.Error();
      running = 0;
    } else {
      // The recorder expects this pause before a download request.
      for (int waited = 0; waited < kPauseBeforeRequestMs && running.load() != 0; waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (running.load() != 0) http.SendGet(url_);
    }
  }

  int status = 0;
  if (http.QueryStatusCode(&status)) httpStatus = status;
  if (httpStatus.load() == 404) running = 0;

  // An answer outside 200..299 is an error page, never the file.
  const bool success = httpStatus.load() >= 200 && httpStatus.load() <= 299;
  BodyEnd end = BodyEnd::NoRequest;
  if (running.load() != 0 && success) {
    qint64 written = 0;
    const BodySink sink = [&](const char* data, std::size_t size) {
      written += qint64(size);
      if (limit > 0 && written > limit) return false;
      return file.Write(data, qint64(size));
    };
    http.ReadToSink(sink, buffer.data(), kBufferSize, state, running, &end);
    if (http.QueryStatusCode(&status)) httpStatus = status;
    if (end == BodyEnd::Refused) fileError = file.Error();
    if (end == BodyEnd::Broken) bodyBroken = 1;
  }
  // No connection is held while the file is synced.
  http.Close();

  // Complete only once the file and its new name are on the disk; a pause
  // requested after the last read does not undo it.
  const bool complete = end == BodyEnd::Complete && file.Commit();
  if (complete) {
    state = kDownloadComplete;
  } else {
    if (end == BodyEnd::Complete) fileError = file.Error();
    if (state.load() == kDownloadComplete) state = kDownloadRunningOrFailed;
    file.Discard();
  }
  running = 0;
  if (notifyWindow != platform::kNoWindow) platform::PostWindowMessage(notifyWindow, WM_DOWNLOAD_FINISHED, 0, 0);
}

}  // namespace nvr
