// Download throughput of DownloadTask against curl's command-line tool: one
// large file from the simulated recorder, into the same folder, timed from the
// moment the recorder receives the request until the file is complete.
//
// DownloadTask syncs the file and its folder before it reports a file complete;
// curl does not. So curl is timed twice: when it exits, and after the same
// sync of its file and folder, and the task is compared with both.
//
//   download_bench [size in MiB, default 1024] [folder, default the current one]
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "nvr/download_task.h"
#include "nvr/http_get.h"
#include "nvr/nvr_session.h"
#include "sim_recorder.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

const char* kPath = "/bench/big.bin";

struct Bench {
  sim::SimRecorder recorder;
  Clock::time_point epoch;  // the recorder's time zero on our clock
  int backupId = -1;
  std::uint64_t size = 0;
  QString folder;

  // The recorder logs when it received each request; map its clock onto ours.
  void Calibrate() {
    nvr::HttpGet http;
    http.Connect("127.0.0.1", "admin", "admin", 3000, 0, recorder.Port());
    char answer[100] = {};
    const Clock::time_point before = Clock::now();
    http.GetToBuffer("/config/getbackupid", answer, sizeof answer);
    nvr::ReadLeaseValue(nvr::AnswerText(answer, sizeof answer), &backupId);
    const auto r = recorder.Requests(sim::Request::GetBackupId).back();
    epoch = before - std::chrono::milliseconds(r.received_ms);
  }

  Clock::time_point LastRequestTime() const {
    return epoch + std::chrono::milliseconds(recorder.Requests(sim::Request::Download).back().received_ms);
  }

  std::string Url() const {
    return recorder.BaseUrl() + "/config/backupdownload?id=" + std::to_string(backupId) + "&path=" + kPath;
  }

  bool Check(const QString& file) const { return QFileInfo(file).size() == qint64(size); }

  double RunTask() {
    const QString file = folder + "/task.bin";
    nvr::DownloadTask task;
    task.SetConnection("127.0.0.1", "admin", "admin", recorder.Port(), 0);
    task.SetLocalPath(file);
    task.SetUrl(QStringLiteral("/config/backupdownload?id=%1&path=%2").arg(backupId).arg(kPath));
    task.Start();
    while (task.running.load() != 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    const Clock::time_point end = Clock::now();
    task.Join();
    const double seconds = std::chrono::duration<double>(end - LastRequestTime()).count();
    const bool ok = task.state.load() == nvr::kDownloadComplete && Check(file);
    QFile::remove(file);
    return ok ? seconds : -1;
  }

  // Syncs a file and then its folder, as a completed download is synced.
  static bool SyncFileAndFolder(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    const std::string folder = file.substr(0, file.rfind('/'));
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return false;
    const bool dirSynced = ::fsync(dirFd) == 0;
    ::close(dirFd);
    return synced && dirSynced;
  }

  // Seconds until curl exited, and until its file and folder were synced.
  std::pair<double, double> RunCurl() {
    const std::string file = (folder + "/curl.bin").toStdString();
    const std::string auth = "Authorization: " + std::string(nvr::BasicAuthorizationHeader("admin", "admin").mid(15));
    const std::string url = Url();
    std::vector<std::string> args = {"curl", "-s", "--noproxy", "*", "-A", "InetURL/1.0", "-H", auth, "-o", file, url};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) return {-1, -1};
    int status = 0;
    waitpid(pid, &status, 0);
    const Clock::time_point end = Clock::now();
    const bool synced = SyncFileAndFolder(file);
    const Clock::time_point syncEnd = Clock::now();
    const double seconds = std::chrono::duration<double>(end - LastRequestTime()).count();
    const double syncedSeconds = std::chrono::duration<double>(syncEnd - LastRequestTime()).count();
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && synced && Check(QString::fromStdString(file));
    QFile::remove(QString::fromStdString(file));
    return ok ? std::make_pair(seconds, syncedSeconds) : std::make_pair(-1.0, -1.0);
  }
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t mib = argc > 1 ? std::stoull(argv[1]) : 1024;
  const QString base = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::currentPath();
  QTemporaryDir dir(base + "/download_bench-XXXXXX");
  if (!dir.isValid()) {
    std::fprintf(stderr, "cannot make a folder under %s\n", qPrintable(base));
    return 1;
  }

  Bench b;
  b.size = mib << 20;
  b.folder = dir.path();
  if (!b.recorder.Start()) {
    std::fprintf(stderr, "recorder: %s\n", b.recorder.Error().c_str());
    return 1;
  }
  b.recorder.AddFile(kPath, b.size);
  b.Calibrate();

  std::vector<double> task, curl, curlSync;
  for (int run = 0; run < 3; ++run) {
    task.push_back(b.RunTask());
    const auto [plain, synced] = b.RunCurl();
    curl.push_back(plain);
    curlSync.push_back(synced);
    std::printf("run %d: DownloadTask %.3f s, curl %.3f s, curl + sync %.3f s\n", run + 1, task.back(), curl.back(),
                curlSync.back());
    std::fflush(stdout);
    if (task.back() < 0 || curl.back() < 0) {
      std::fprintf(stderr, "a download failed\n");
      return 1;
    }
  }
  const double mebibytes = double(b.size) / (1 << 20);
  const double mbTask = mebibytes / Median(task);
  const double mbCurl = mebibytes / Median(curl);
  const double mbCurlSync = mebibytes / Median(curlSync);
  std::vector<double> syncCost;
  for (int run = 0; run < 3; ++run) syncCost.push_back(curlSync[run] - curl[run]);
  std::printf("file %llu MiB into %s\n", static_cast<unsigned long long>(mib), qPrintable(b.folder));
  std::printf("DownloadTask (synced): %.1f MiB/s (median of 3)\n", mbTask);
  std::printf("curl:                  %.1f MiB/s (median of 3)\n", mbCurl);
  std::printf("curl + sync:           %.1f MiB/s (median of 3)\n", mbCurlSync);
  std::printf("sync of file and folder after curl: %.3f s (median of 3)\n", Median(syncCost));
  std::printf("ratio to curl:         %.3f\n", mbTask / mbCurl);
  std::printf("ratio to curl + sync:  %.3f (goal: at least 0.9)\n", mbTask / mbCurlSync);
  return 0;
}
