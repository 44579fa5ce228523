#include "nvr/download_task.h"

#include <QFile>

#include <chrono>
#include <thread>
#include <vector>

#include "nvr/http_get.h"
#include "platform/core/app_messages.h"
#include "platform/core/files.h"

namespace nvr {

QString PartialPath(const QString& localPath) { return localPath + QStringLiteral(".part"); }

void CreateParentDirectory(const QString& filePath) {
  const qsizetype slash = filePath.lastIndexOf(QLatin1Char('/'));
  if (slash <= 0) return;
  const QString folder = filePath.left(slash);
  if (!platform::PathExists(folder)) platform::CreateDirectoryChain(folder);
}

DownloadTask::~DownloadTask() { Stop(); }

void DownloadTask::SetConnection(const QString& host, const QString& user, const QString& password, int port,
                                 int https) {
  host_ = host;
  user_ = user;
  password_ = password;
  port_ = port;
  https_ = https;
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
  http.SetAbortCheck([this] { return running.load() == 0 || state.load() == 1; });
  QFile file;
  state = 0;
  std::vector<char> buffer(kBufferSize, 0);
  const QString workingPath = localPath_;
  const QString partPath = PartialPath(workingPath);
  httpStatus = 0;
  bool opened = false;

  if (running.load() != 0) {
    http.Connect(host_, user_, password_, kConnectTimeoutMs, https_, port_);
    CreateParentDirectory(workingPath);
    file.setFileName(partPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
      running = 0;
    } else {
      opened = true;
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
  if (running.load() != 0 && success) {
    http.ReadToSink(file, buffer.data(), kBufferSize, state, running);
    if (http.QueryStatusCode(&status)) httpStatus = status;
  }

  bool complete = success && state.load() == 2;
  if (opened) {
    if (!file.flush()) complete = false;
    file.close();
    if (file.error() != QFileDevice::NoError) complete = false;
  }
  if (complete && !platform::RenameOver(partPath, workingPath)) complete = false;
  if (complete) {
    state = 2;  // a pause requested after the last read does not undo the file
  } else {
    if (state.load() == 2) state = 0;
    if (opened) platform::DeleteFilePath(partPath);
  }
  http.Close();
  running = 0;
  if (notifyWindow != platform::kNoWindow) platform::PostWindowMessage(notifyWindow, platform::WM_DOWNLOAD_FINISHED, 0, 0);
}

}  // namespace nvr
