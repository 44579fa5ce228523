// Simulated network video recorder for tests and for trying the program by hand.
//
// It speaks the recorder's HTTP interface on a loopback address: login and
// logout, playback-id and backup-id leases, the NVR-side backup request with its
// answer file, file downloads (generated deterministic content or real files),
// record lists, the selection queries and the preview packet stream. Every
// request is logged as it arrived, and any request can be told to fail.
//
// Requests are named by the client's catalogue (sim::Request below); anything
// else is Request::Unknown and answered 404.
//
// Thread safety: every public member may be called from any thread while the
// recorder runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sim {

// The requests of the client's catalogue, named after what each asks; the
// values are the catalogue's numbers.
enum class Request {
  Unknown = 0,            // none of these
  Login = 1,              // /config/login
  Logout = 2,             // /config/logout
  GetPlayId = 3,          // /play/getid
  RenewPlayId = 4,        // /play/getid?id=N
  GetBackupId = 5,        // /config/getbackupid
  RenewBackupId = 6,      // /config/getbackupid?id=N (renewal and query)
  QueueBackupJob = 7,     // /config/tarnwell?...: a job, answered with its answer file
  Download = 8,           // /config/backupdownload?...: one file of a job
  GetDateTime = 9,        // /config/datetime
  GetPrivileges = 10,     // /config/userprivileges
  GetRecordDays = 11,     // /play/recdate?...
  GetChannels = 12,       // /live/avdevlist
  GetRecordListPage = 13, // /play/reclist?...
  SeekPlayback = 14,      // /play/searchdata?...: where the preview stream starts
  GetStream = 15,         // /play/mav/nvrprofilestream?...: the preview stream
};
// Test failures show the catalogue number.
inline void PrintTo(Request request, std::ostream* out) { *out << static_cast<int>(request); }

// ---------------------------------------------------------------- content

struct Date {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  friend bool operator==(const Date&, const Date&) = default;
  friend auto operator<=>(const Date&, const Date&) = default;
};

// One recording of one channel on one day; times are seconds of the day.
struct Recording {
  int channel = 1;     // 1..16
  int start = 0;       // 0..86399
  int end = 0;         // exclusive end, start < end <= 86400
  int type = 1;        // type bits as the record list reports them (> 0)
};

// Broken-down time as Request::QueueBackupJob carries it.
struct DateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// A file the recorder can hand out with Request::Download.
struct FileEntry {
  std::string path;    // recorder path, "/" separated, exactly as the answer file lists it
  uint64_t size = 0;   // bytes
};

// One NVR-side backup job, created by Request::QueueBackupJob.
struct Job {
  int number = 0;                  // 1, 2, ... in the order the requests arrived
  DateTime start;                  // as requested
  DateTime end;                    // as requested
  uint32_t channel_mask = 0;       // bit i = channel i + 1
  std::vector<FileEntry> files;    // the listed recordings, in answer order
  FileEntry record_list;           // the last line of the answer file
  uint64_t total = 0;              // total on line 0: files plus the record list
  std::string answer;              // the answer file's bytes, exactly as sent
};

// ------------------------------------------------------------ request log

struct RequestRecord {
  uint64_t sequence = 0;           // 0, 1, 2, ... over the recorder's life
  Request request = Request::Unknown;
  std::string method;              // "GET"
  std::string target;              // raw request target as it came on the wire (not decoded)
  std::string version;             // "HTTP/1.1"
  // Every header as received (name as sent, value with surrounding blanks
  // trimmed). The HTTP library hands them over sorted by name, so the order
  // on the wire is not kept.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string remote_addr;
  int remote_port = 0;             // tells connections apart
  bool authorised = false;         // Basic credentials matched
  int status = 0;                  // status sent (0 when the connection was closed without one)
  std::string fault;               // name of the injected fault that handled it, empty when none
  uint64_t body_sent = 0;          // body bytes a fault's broken answer wrote (0 otherwise)
  int64_t received_ms = 0;         // steady clock, ms since the recorder started

  // "GET /path?query HTTP/1.1"
  std::string RequestLine() const;
  // Value of the first header with this name (case-insensitive), or nullopt.
  std::optional<std::string> Header(std::string_view name) const;
};

// ------------------------------------------------------------- faults

enum class FaultKind {
  RefuseLogin,        // 200 "login=0\n"
  LoginNoDecision,    // 200 "Login=1\n": neither login=0 nor login=1, so the client asks again
  NotFound,           // 404 with a short body
  Unavailable,        // 503 with a short body
  ErrorPage,          // 200 with an HTML error page instead of the expected answer
  Answer,             // `status` with `body` exactly as given
  CutShort,           // the normal answer's headers with its full Content-Length (or
                      // `content_length`), then only `send_bytes` of the body, then close
  CutShortChunked,    // the normal answer chunked, `send_bytes` of it, no last chunk, then close
  StallHeaders,       // status line and headers (full Content-Length), then nothing for
                      // `stall_ms`, then close (or finish, with `finish_after_stall`)
  StallBody,          // headers and `send_bytes` of the body, then as StallHeaders
  CloseWithoutAnswer, // the connection is closed without a byte of answer
  Delay,              // wait `stall_ms` before answering normally (nothing is sent meanwhile)
  Flood,              // the normal answer's status without Content-Length (or with
                      // `content_length`), its body repeated for `send_bytes` bytes
                      // (-1 = until the client goes away), then close
};

struct FaultRule {
  FaultKind kind = FaultKind::NotFound;
  // Which requests: by catalogue request when set, else by raw-target prefix
  // when not empty, else every request.
  std::optional<Request> request;
  std::string path_prefix;
  int times = -1;               // number of matching requests to hit; -1 = always
  int status = 200;             // Answer only
  std::string body;             // Answer only
  int64_t send_bytes = -1;      // CutShort*, StallBody: body bytes sent; -1 = half the body
  int stall_ms = 8000;          // StallHeaders, StallBody, Delay; longer than the 5000 ms
                                // receive time-out by default. Stop() and ReleaseStalls() end it early
  bool finish_after_stall = false;  // Stall*: send the rest normally after the stall
  std::string content_length;   // CutShort, Flood: when not empty, this value goes out
                                // raw as the Content-Length header, whatever it says
  std::string second_content_length;  // CutShort, Flood: when not empty, one more
                                      // Content-Length header, with this raw value,
                                      // follows the one above

  // Shorthands.
  static FaultRule For(Request request, FaultKind kind, int times = -1);
  static FaultRule ForPrefix(std::string prefix, FaultKind kind, int times = -1);
  static FaultRule AnswerWith(Request request, int status, std::string body, int times = -1);
};

// What the backup-id requests (GetBackupId, RenewBackupId) report about the
// recorder's own work.
enum class BackupState {
  Idle,                // ids are granted and renewed
  DailyBackupRunning,  // "result=-1\nlease=0\n"
  ManualBackupRunning, // "result=-2\nlease=0\n"
  Busy,                // "500\n"
};

// ---------------------------------------------------------------- stream

// A GetStream request as received, with the SeekPlayback before it of the same
// play id.
struct StreamRequest {
  int play_id = -1;
  std::string channel_flags;     // the avdevid value, "1,0,...,0"
  int channel = 0;               // 1..16: position of the first flag 1, 0 when none
  std::string search_start;      // recstarttime of the last SeekPlayback ("" when none)
  std::string search_end;        // recendtime of the last SeekPlayback
  std::string target;            // raw target of the GetStream request
};

// Writes bytes of the stream to the client. Returns false once the client has
// gone or the recorder is stopping; the source should then return.
using StreamWriter = std::function<bool(std::string_view bytes)>;
// Produces the whole stream for one GetStream; the answer ends (connection
// closed) when it returns. Runs on a server thread.
using StreamSource = std::function<void(const StreamRequest&, const StreamWriter&)>;

// One packet of the preview stream: start code, little-endian header length,
// header, payload. Video packets have a 128-byte header, other packets 48 bytes.
struct VideoPacketInfo {
  uint32_t seconds = 0;       // time stamp
  uint32_t microseconds = 0;
  uint32_t codec = 100;       // 101/102 MPEG-4, 104/105 H.264, other MJPEG
  uint16_t channel_mask = 1;  // bit n-1 = channel n
  uint16_t width = 0;
  uint16_t height = 0;
};
std::string BuildVideoPacket(const VideoPacketInfo& info, std::string_view payload);
std::string BuildOtherPacket(uint32_t type_code, uint32_t seconds, uint32_t microseconds,
                             std::string_view payload);
// The default stream: a few video packets (dummy payload, 352x240, the
// requested channel's mask) with one other packet among them.
std::string DefaultStreamBytes(int channel);

// ----------------------------------------------------- generated contents

// Byte `offset` of the generated content of a recorder path. Content depends
// only on the path and the offset, so a test can check a downloaded file.
uint8_t ContentByte(std::string_view recorder_path, uint64_t offset);
// `length` bytes of the generated content from `offset`.
std::string ContentBytes(std::string_view recorder_path, uint64_t offset, size_t length);
// Record-list file for a day: 56-byte header ("RLDB", count, "YYYYMMDD"), then
// one 25-byte entry per recording (start HHMMSS, end HHMMSS, channel byte,
// type byte, 11 zero bytes), sorted by start then channel.
std::string BuildRecordList(const Date& day, const std::vector<Recording>& recordings);

// ----------------------------------------------------------------- config

struct Config {
  std::string host = "127.0.0.1";    // must be a loopback address
  int port = 0;                      // 0 = the kernel chooses
  std::string user = "admin";
  std::string password = "admin";
  int play_privilege = 0xFFFF;       // answer of Request::GetPrivileges
  std::vector<std::string> channel_names;  // UTF-8; empty = 16 default names
  std::string record_root = "/rec";  // prefix of every recorder path
  uint64_t bytes_per_second = 64;    // recording size = 4096 + rate * seconds
  std::string local_root;            // when set, a recorder path P that exists as
                                     // local_root + P is served from that file
  bool default_content = true;       // recordings on a few days this month and last
  bool require_backup_lease = true;  // QueueBackupJob answers 404 without a valid backup id
  // An unknown or expired id in RenewBackupId: false answers "error=expired\n"
  // (renewal fails, query gives no answer); true hands out the current or a new
  // id ("id=M\nlease=600\n"), which a query adopts.
  bool regrant_unknown_backup_id = false;
  // Idle time after which the recorder closes a kept-alive connection.
  int keep_alive_seconds = 60;
  // Listed by every job after its recordings, as given (an odd path, say);
  // each can be downloaded with generated bytes.
  std::vector<FileEntry> extra_job_files;
  // The same, listed before the recordings (two rows that clash with the
  // recordings between them, say).
  std::vector<FileEntry> first_job_files;
  // Listed after the recordings by the job of that number alone (1: the first
  // one queued), so that two jobs backed up into one folder can meet there.
  std::vector<std::pair<int, FileEntry>> nth_job_files;
};

// ---------------------------------------------------------------- recorder

class SimRecorder {
 public:
  explicit SimRecorder(Config config = {});
  ~SimRecorder();  // Stop()
  SimRecorder(const SimRecorder&) = delete;
  SimRecorder& operator=(const SimRecorder&) = delete;

  // Binds to config.host:config.port and serves on a thread of its own.
  // False when the host is not loopback or the port cannot be bound; Error()
  // says why. Call once.
  bool Start();
  // Ends stalls and streams, closes every connection and joins the threads.
  // Safe to call twice.
  void Stop();
  bool Running() const;
  int Port() const;               // bound port (valid after Start)
  std::string BaseUrl() const;    // "http://127.0.0.1:PORT"
  std::string Error() const;
  const Config& GetConfig() const;

  // --- request log
  std::vector<RequestRecord> Requests() const;
  std::vector<RequestRecord> Requests(Request request) const;  // only that request
  size_t RequestCount(std::optional<Request> request = std::nullopt) const;  // none = all
  void ClearRequests();
  // Waits until at least `count` requests of that kind (none = any) have been
  // logged (a request is logged when it arrives, before it is answered);
  // false on time-out.
  bool WaitForRequests(size_t count, std::optional<Request> request = std::nullopt, int timeout_ms = 10000) const;

  // Called for every request once its answer is decided (status set; 0 when
  // the connection is closed without one), on a server thread. Empty = none.
  void SetRequestObserver(std::function<void(const RequestRecord&)> observer);

  // --- faults
  int AddFault(FaultRule rule);     // id for RemoveFault / FaultHits
  void RemoveFault(int id);
  void ClearFaults();
  int FaultHits(int id) const;      // requests handled by the rule so far
  void ReleaseStalls();             // ends every running stall now

  // Paces file downloads (Request::Download) to about this many bytes per second,
  // so a test can pause or stop one midway; 0 = as fast as possible.
  void SetDownloadRate(uint64_t bytes_per_second);

  // --- login and leases
  bool LoggedIn() const;            // last login succeeded and no logout since
  void SetBackupState(BackupState state);
  BackupState GetBackupState() const;
  void SetPlaybackBusy(bool busy);  // GetPlayId and RenewPlayId answer "busy\n" (no "=")
  std::vector<int> ValidPlayIds() const;
  std::vector<int> ValidBackupIds() const;
  int LastPlayId() const;           // -1 when none was granted
  int LastBackupId() const;         // -1 when none was granted
  void ExpirePlayId(int id);
  void ExpireBackupId(int id);
  void ExpireAllLeases();

  // --- content
  void ClearRecordings();
  void SetRecordings(const Date& day, std::vector<Recording> recordings);
  std::vector<Recording> RecordingsOn(const Date& day) const;
  std::vector<Date> DaysWithRecordings() const;  // sorted
  // Adds a downloadable file with generated content (replaces one of that path).
  void AddFile(std::string recorder_path, uint64_t size);
  // Adds a downloadable file served from a local file (size taken when asked).
  void AddLocalFile(std::string recorder_path, std::string local_path);
  // Adds a downloadable file with exactly these bytes (a crafted record list,
  // say); a job of its day lists its size.
  void AddFileContent(std::string recorder_path, std::string bytes);
  std::optional<uint64_t> FileSize(const std::string& recorder_path) const;
  // Files of the next jobs: when set, every following QueueBackupJob lists exactly
  // these (they become downloadable with generated content) instead of the
  // recordings in its span. nullopt returns to the recordings.
  void SetJobFiles(std::optional<std::vector<FileEntry>> files);
  // Record-list path of a day: record_root + "/YYYY/MM/DD/RecordList.db".
  std::string RecordListPath(const Date& day) const;

  // --- jobs
  std::vector<Job> Jobs() const;
  std::optional<Job> LastJob() const;

  // --- preview stream
  void SetStreamSource(StreamSource source);  // empty = the default stream
  std::optional<StreamRequest> LastStreamRequest() const;

  // Fills the default content relative to a day (normally today): recordings
  // on four days of that month and three of the month before.
  void LoadDefaultContent(const Date& today);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackHost(std::string_view host);

}  // namespace sim
