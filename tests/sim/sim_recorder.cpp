// Placeholder so the interface builds; the recorder follows.
#include "sim_recorder.h"

namespace sim {

struct SimRecorder::Impl {
  Config config;
};

std::string RequestRecord::RequestLine() const { return method + " " + target + " " + version; }
std::optional<std::string> RequestRecord::Header(std::string_view) const { return std::nullopt; }
FaultRule FaultRule::For(int n, FaultKind k, int t) { FaultRule r; r.request_number = n; r.kind = k; r.times = t; return r; }
FaultRule FaultRule::ForPrefix(std::string p, FaultKind k, int t) { FaultRule r; r.path_prefix = std::move(p); r.kind = k; r.times = t; return r; }
FaultRule FaultRule::AnswerWith(int n, int s, std::string b, int t) { FaultRule r; r.request_number = n; r.kind = FaultKind::Answer; r.status = s; r.body = std::move(b); r.times = t; return r; }
std::string BuildVideoPacket(const VideoPacketInfo&, std::string_view) { return {}; }
std::string BuildOtherPacket(uint32_t, uint32_t, uint32_t, std::string_view) { return {}; }
std::string DefaultStreamBytes(int) { return {}; }
uint8_t ContentByte(std::string_view, uint64_t) { return 0; }
std::string ContentBytes(std::string_view, uint64_t, size_t) { return {}; }
std::string BuildRecordList(const Date&, const std::vector<Recording>&) { return {}; }
bool IsLoopbackHost(std::string_view) { return false; }

SimRecorder::SimRecorder(Config c) : impl_(std::make_unique<Impl>()) { impl_->config = std::move(c); }
SimRecorder::~SimRecorder() = default;
bool SimRecorder::Start() { return false; }
void SimRecorder::Stop() {}
bool SimRecorder::Running() const { return false; }
int SimRecorder::Port() const { return 0; }
std::string SimRecorder::BaseUrl() const { return {}; }
std::string SimRecorder::Error() const { return "not built yet"; }
const Config& SimRecorder::GetConfig() const { return impl_->config; }
std::vector<RequestRecord> SimRecorder::Requests() const { return {}; }
std::vector<RequestRecord> SimRecorder::Requests(int) const { return {}; }
size_t SimRecorder::RequestCount(int) const { return 0; }
void SimRecorder::ClearRequests() {}
bool SimRecorder::WaitForRequests(size_t, int, int) const { return false; }
int SimRecorder::AddFault(FaultRule) { return 0; }
void SimRecorder::RemoveFault(int) {}
void SimRecorder::ClearFaults() {}
int SimRecorder::FaultHits(int) const { return 0; }
void SimRecorder::ReleaseStalls() {}
bool SimRecorder::LoggedIn() const { return false; }
void SimRecorder::SetBackupState(BackupState) {}
BackupState SimRecorder::GetBackupState() const { return BackupState::Idle; }
void SimRecorder::SetPlaybackBusy(bool) {}
std::vector<int> SimRecorder::ValidPlayIds() const { return {}; }
std::vector<int> SimRecorder::ValidBackupIds() const { return {}; }
int SimRecorder::LastPlayId() const { return -1; }
int SimRecorder::LastBackupId() const { return -1; }
void SimRecorder::ExpirePlayId(int) {}
void SimRecorder::ExpireBackupId(int) {}
void SimRecorder::ExpireAllLeases() {}
void SimRecorder::ClearRecordings() {}
void SimRecorder::SetRecordings(const Date&, std::vector<Recording>) {}
std::vector<Recording> SimRecorder::RecordingsOn(const Date&) const { return {}; }
std::vector<Date> SimRecorder::DaysWithRecordings() const { return {}; }
void SimRecorder::AddFile(std::string, uint64_t) {}
void SimRecorder::AddLocalFile(std::string, std::string) {}
std::optional<uint64_t> SimRecorder::FileSize(const std::string&) const { return std::nullopt; }
void SimRecorder::SetJobFiles(std::optional<std::vector<FileEntry>>) {}
std::string SimRecorder::RecordListPath(const Date&) const { return {}; }
std::vector<Job> SimRecorder::Jobs() const { return {}; }
std::optional<Job> SimRecorder::LastJob() const { return std::nullopt; }
void SimRecorder::SetStreamSource(StreamSource) {}
std::optional<StreamRequest> SimRecorder::LastStreamRequest() const { return std::nullopt; }
void SimRecorder::LoadDefaultContent(const Date&) {}

}  // namespace sim
