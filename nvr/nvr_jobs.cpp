// The session's recorder-side backup jobs and the job thread that fetches each
// job's answer file and the day's record list.
//
// Jobs are fetched one after the other by one job thread, from snapshots taken
// when they were queued, so a job queued during a fetch never disturbs it and a
// job removed meanwhile is recognised by its id and abandoned.
#include <QFile>

#include <chrono>
#include <thread>

#include "nvr/answer_file.h"
#include "nvr/nvr_messages.h"
#include "nvr/nvr_session.h"
#include "platform/core/files.h"
#include "platform/core/latin1.h"
#include "platform/core/local_time.h"

namespace nvr {
namespace {

constexpr int kPollMs = 100;
// An answer file lists a day's files in lines of a few dozen bytes and a record
// list holds at most 100000 entries of 25 bytes: anything larger is not one of
// them, so its download ends as soon as it passes this size.
constexpr qint64 kMaxAnswerFileBytes = 16 * 1024 * 1024;

QString AnswerFilePathFor(int jobId) { return platform::ExecutableFolder() + QString::asprintf("%.6d.txt", jobId); }

QString RecordListPathFor(const NvrTime& start) {
  return platform::ExecutableFolder() +
         QString::asprintf("%.4d_%.2d_%.2d_RecordList.db", start.year, start.month, start.day);
}

}  // namespace

void NvrSession::QueueNvrBackup(const NvrTime& start, const NvrTime& end, std::uint32_t mask) {
  keepBackupId = 1;
  AcquireBackupId();
  if (backupId.load() < 0) return;

  backupParams = MakeBackupParameters(start, end, mask);
  PendingFetch fetch;
  fetch.request = BuildNvrBackupUrl(backupParams);
  fetch.connection = connection_;
  fetch.start = start;
  fetch.end = end;

  const platform::LocalTime now = platform::CurrentLocalTime();
  int id = now.hour * 10000 + now.minute * 100 + now.second;
  {
    // Two jobs queued in the same second would share one answer file.
    std::lock_guard<std::recursive_mutex> hold(jobs.Lock());
    while (jobs.IndexOf([id](const BackupJob& j) { return j.id == id; }) >= 0) id = (id + 1) % 1000000;
    auto job = std::make_unique<BackupJob>();
    job->id = id;
    job->start = start;
    job->end = end;
    job->channelMask = mask;
    job->totalSize = 0;
    jobs.Push(std::move(job));
  }
  fetch.jobId = id;
  fetch.answerPath = AnswerFilePathFor(id);

  bool startThread = false;
  {
    std::lock_guard<std::mutex> hold(fetchLock_);
    answerFilePath_ = fetch.answerPath;
    pending_.push_back(fetch);
    if (!fetching_) {
      fetching_ = true;
      startThread = true;
    }
  }
  if (startThread) {
    jobThread_.Join();  // a previous job thread has finished its last step
    jobThreadRunning = 1;
    jobThread_.Start([this] { JobThreadProc(this); });
  }
}

int NvrSession::JobThreadProc(NvrSession* session) {
  session->JobThread();
  return 0;
}

void NvrSession::JobThread() {
  keepBackupId = 1;
  for (;;) {
    PendingFetch fetch;
    {
      std::lock_guard<std::mutex> hold(fetchLock_);
      if (pending_.empty() || StopRequested()) {
        pending_.clear();
        jobPending = 0;
        {
          std::lock_guard<std::mutex> backup(backupLock_);
          if (!backupRunning_) keepBackupId = 0;
        }
        fetching_ = false;
        // Last: whoever waits for the thread's end sees every flag it left.
        jobThreadRunning = 0;
        return;
      }
      fetch = pending_.front();
      pending_.pop_front();
    }
    FetchJob(fetch);
  }
}

void NvrSession::BeginBackup() {
  std::lock_guard<std::mutex> hold(backupLock_);
  backupRunning_ = true;
  keepBackupId = 1;
}

void NvrSession::EndBackup() {
  std::lock_guard<std::mutex> hold(backupLock_);
  backupRunning_ = false;
}

bool NvrSession::JobExists(int jobId) const { return PositionOf(jobId) >= 0; }

int NvrSession::PositionOf(int jobId) const {
  return jobs.IndexOf([jobId](const BackupJob& j) { return j.id == jobId; });
}

void NvrSession::DropJob(int jobId) {
  std::unique_ptr<BackupJob> job;
  {
    std::lock_guard<std::recursive_mutex> hold(jobs.Lock());
    job = jobs.EraseAt(PositionOf(jobId));
  }
  if (job) platform::DeleteFilePath(AnswerFilePathFor(jobId));
}

bool NvrSession::Download(const PendingFetch& fetch, const QString& localPath, const QString& request) {
  downloader.notifyWindow = platform::kNoWindow;
  downloader.SetConnection(fetch.connection);
  downloader.SetLocalPath(localPath);
  downloader.SetUrl(request);
  downloader.SetSizeLimit(kMaxAnswerFileBytes);
  downloader.Start();
  while (downloader.running.load() != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    // A job removed meanwhile (logout, failed renewal) is not fetched further.
    if (StopRequested() || !JobExists(fetch.jobId)) downloader.running = 0;
  }
  downloader.Join();
  return downloader.state.load() == kDownloadComplete;
}

void NvrSession::FetchJob(const PendingFetch& fetch) {
  const auto abandon = [&] { platform::DeleteFilePath(fetch.answerPath); };
  const auto lastOne = [&] {
    std::lock_guard<std::mutex> hold(fetchLock_);
    return pending_.empty();
  };
  if (!JobExists(fetch.jobId)) return abandon();

  const bool answered = Download(fetch, fetch.answerPath, fetch.request);
  if (StopRequested() || !JobExists(fetch.jobId)) return abandon();
  if (!answered) {
    DropJob(fetch.jobId);
    if (lastOne()) jobPending = 0;
    return PostJobFinished(fetch.jobId, 1);
  }

  const std::int64_t total = ReadAnswerFileTotal(fetch.answerPath);
  {
    std::lock_guard<std::recursive_mutex> hold(jobs.Lock());
    BackupJob* job = jobs.At(PositionOf(fetch.jobId));
    if (!job) return abandon();
    job->totalSize = total;
  }

  QStringList lines;
  {
    QFile file(fetch.answerPath);
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxAnswerFileBytes)
      SplitString(platform::BytesToText(file.readAll()), QLatin1Char('\n'), &lines);
  }
  if (lines.isEmpty()) {
    // Without one complete line (or with an oversized file) there is no record
    // list to ask for.
    DropJob(fetch.jobId);
    if (lastOne()) jobPending = 0;
    return PostJobFinished(fetch.jobId, 1);
  }
  const QString recorderPath = RecorderPathOfLine(lines.last());
  const QString request = QStringLiteral("/config/backupdownload?id=%1&path=").arg(backupId.load()) + recorderPath;
  const bool listed = Download(fetch, RecordListPathFor(fetch.start), request);
  if (StopRequested() || !JobExists(fetch.jobId)) return abandon();
  if (!listed) {
    DropJob(fetch.jobId);
    if (lastOne()) jobPending = 0;
    return PostJobFinished(fetch.jobId, 1);
  }

  if (lastOne()) jobPending = 0;
  // A record list that could not be clamped (a full disk) is as good as one that
  // did not arrive: the job fails, and the list stays as it was downloaded.
  const ClampResult clamp =
      ClampRecordListEndTimes(fetch.end.hour, RecordListPathFor(fetch.start), fetch.end.minute, fetch.end.second);
  if (clamp == ClampResult::WriteFailed) {
    DropJob(fetch.jobId);
    return PostJobFinished(fetch.jobId, 1);
  }
  PostJobFinished(fetch.jobId, 0);
}

void NvrSession::PostJobFinished(int jobId, int failed) {
  // The job's id, not its position: rows may be removed before the window
  // handles the report, and it looks the job up then.
  platform::PostWindowMessage(notifyWindow.load(), WM_JOB_FINISHED, std::uintptr_t(jobId), failed);
}

bool NvrSession::GetJob(BackupJob* out, int index) const {
  if (index < 0 || !out) return false;
  std::lock_guard<std::recursive_mutex> hold(jobs.Lock());
  const BackupJob* job = jobs.At(index);
  if (!job) return false;
  *out = *job;
  return true;
}

bool NvrSession::GetJobInfo(int index, NvrTime* start, NvrTime* end, std::uint32_t* mask, std::int64_t* size) const {
  BackupJob job;
  if (!GetJob(&job, index)) return false;
  if (start) *start = job.start;
  if (end) *end = job.end;
  if (mask) *mask = job.channelMask;
  if (size) *size = job.totalSize;
  return true;
}

void NvrSession::RemoveJob(int index) {
  if (index < 0) return;
  std::unique_ptr<BackupJob> job;
  {
    std::lock_guard<std::recursive_mutex> hold(jobs.Lock());
    job = jobs.EraseAt(index);
  }
  if (job) platform::DeleteFilePath(AnswerFilePathFor(job->id));
}

void NvrSession::RemoveAllJobs() {
  while (std::unique_ptr<BackupJob> job = jobs.RemoveFront()) platform::DeleteFilePath(AnswerFilePathFor(job->id));
}

QString NvrSession::GetAnswerFilePath() const {
  std::lock_guard<std::mutex> hold(fetchLock_);
  return answerFilePath_;
}

std::int64_t NvrSession::ReadAnswerTotal() const { return ReadAnswerFileTotal(GetAnswerFilePath()); }

}  // namespace nvr
