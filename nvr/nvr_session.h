#pragma once
// The one session with one recorder: connection data, login and logout, the
// playback-id and backup-id leases, and the recorder-side backup jobs.
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

#include "nvr/backup_job.h"
#include "nvr/connection_data.h"
#include "nvr/data_queue.h"
#include "nvr/download_task.h"
#include "nvr/http_get.h"
#include "nvr/nvr_time.h"
#include "platform/core/thread.h"
#include "platform/core/window_post.h"

namespace nvr {

class NvrSession {
 public:
  static constexpr int kControlConnectTimeoutMs = 3000;

  NvrSession();
  ~NvrSession();
  // Stops the job thread and its download for good and waits for both, so
  // that nothing writes into the program's folder afterwards.
  void StopWorkers();
  NvrSession(const NvrSession&) = delete;
  NvrSession& operator=(const NvrSession&) = delete;

  void SetServer(const QString& serverName, const QString& host, const QString& user, const QString& password,
                 int port, int https);
  QString GetServerName() const { return serverName_; }
  QString GetHost() const { return connection_.host; }
  QString GetUser() const { return connection_.user; }
  QString GetPassword() const { return connection_.password; }
  int GetPort() const { return connection_.port; }

  int Login();
  void Logout();

  int GetPlayId();
  int RenewPlayId();
  void AcquireBackupId();
  int RenewBackupId();
  int QueryBackupId();
  int PingBackupId();

  // Jobs.
  void QueueNvrBackup(const NvrTime& start, const NvrTime& end, std::uint32_t mask);
  bool GetJob(BackupJob* job, int index) const;
  // The queue position of the job with this id, -1 when it is not queued.
  int PositionOf(int jobId) const;
  bool GetJobInfo(int index, NvrTime* start, NvrTime* end, std::uint32_t* mask, std::int64_t* size) const;
  void RemoveJob(int index);
  void RemoveAllJobs();
  QString GetAnswerFilePath() const;
  std::int64_t ReadAnswerTotal() const;
  void JobThread();
  static int JobThreadProc(NvrSession* session);
  // The backup command's span: from its start (which sets the keep-backup-id
  // flag) to its end, the job thread's end leaves the flag as it is, so a
  // backup keeps its renewals whatever job is fetched meanwhile.
  void BeginBackup();
  void EndBackup();

  // Fields other parts of the program read and write directly.
  HttpGet controlClient;
  std::atomic<int> loggedIn{0};
  std::atomic<int> playId{-1};
  std::atomic<int> backupId{-1};
  std::atomic<int> keepBackupId{1};
  std::atomic<int> jobPending{0};
  std::atomic<platform::WindowId> notifyWindow{platform::kNoWindow};
  DataQueue<BackupJob> jobs;
  DownloadTask downloader;  // used only by the job thread
  BackupParameters backupParams;
  std::atomic<int> jobThreadRunning{0};

 private:
  // What the job thread needs of one queued job, taken when it was queued.
  struct PendingFetch {
    int jobId = 0;
    NvrTime start;
    NvrTime end;
    QString answerPath;
    QString request;
    ConnectionData connection;
  };
  enum class FetchOutcome { Done, Failed, Abandoned };

  void FetchJob(const PendingFetch& fetch);
  bool Download(const PendingFetch& fetch, const QString& localPath, const QString& request);
  bool JobExists(int jobId) const;
  void DropJob(int jobId);
  bool StopRequested() const { return stopping_.load() != 0; }
  // WM_JOB_FINISHED: wParam the job's id, lParam 0 when its record list arrived.
  void PostJobFinished(int jobId, int failed);

  QString serverName_;
  ConnectionData connection_;

  mutable std::mutex fetchLock_;
  std::deque<PendingFetch> pending_;
  bool fetching_ = false;
  QString answerFilePath_;
  std::atomic<int> stopping_{0};
  std::mutex backupLock_;  // orders the job thread's end against a backup's start
  bool backupRunning_ = false;
  platform::Thread jobThread_;
};

// The backup id in a getbackupid answer: the text before the first "lease",
// after its first "=" (all of it without "="). False without "lease".
bool ReadLeaseValue(const QString& answer, int* value);
// The playback id: between the first "=" and the first "lease" after it (0 when
// there is no later "lease"). False without "=".
bool ReadPlayIdValue(const QString& answer, int* value);
// The answer's bytes up to its first zero byte, as text.
QString AnswerText(const char* buffer, int capacity);
// A login answer: 1 when it begins "login=1", 0 for "login=0", -1 for anything
// else (no decision). `answer` is the caller's zero-filled buffer of at least
// 7 bytes.
int LoginDecision(const char* answer);
// A backup-id grant: the recorder's own backup runs ("-1" or "-2" anywhere),
// or a lease value (*id, as ReadLeaseValue reads it), or no "lease" at all.
enum class BackupGrant { BackupRunning, Lease, NoLease };
BackupGrant ReadBackupGrant(const QString& answer, int* id);
// A backup-id query: -3 when the recorder is busy ("500" anywhere), 0 without
// "lease", the lease value when it is negative, else 1 with *id := the value.
int ReadBackupQuery(const QString& answer, int* id);

}  // namespace nvr
