// Fuzz target for the session's readers of recorder answers: the login
// decision, the playback id, the backup-id grant and query. Any answer, laid
// into the zero-filled buffer each caller reads it into, must give a result
// within the reader's documented domain and agree with the markers it holds.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "nvr/nvr_session.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// What GetToBuffer leaves for an answer: only an answer strictly shorter than
// the capacity is kept, and the rest of the buffer stays zero.
std::vector<char> Received(const std::uint8_t* data, std::size_t size, std::size_t capacity) {
  std::vector<char> buffer(capacity, 0);
  if (size < capacity) std::memcpy(buffer.data(), data, size);
  return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Login (a 256-byte buffer).
  {
    const std::vector<char> buffer = Received(data, size, 256);
    const int decision = nvr::LoginDecision(buffer.data());
    Check(decision >= -1 && decision <= 1);
    Check((decision == 1) == (std::memcmp(buffer.data(), "login=1", 7) == 0));
    Check((decision == 0) == (std::memcmp(buffer.data(), "login=0", 7) == 0));
  }
  // Playback id (64 bytes).
  {
    const std::vector<char> buffer = Received(data, size, 64);
    const QString text = nvr::AnswerText(buffer.data(), int(buffer.size()));
    Check(text.size() < 64);
    int id = std::numeric_limits<int>::min();
    const bool read = nvr::ReadPlayIdValue(text, &id);
    Check(read == text.contains(QLatin1Char('=')));
    if (read && !text.mid(text.indexOf(QLatin1Char('=')) + 1).contains(QLatin1String("lease"))) Check(id == 0);
    if (!read) Check(id == std::numeric_limits<int>::min());
  }
  // Backup-id grant (100 bytes).
  {
    const std::vector<char> buffer = Received(data, size, 100);
    const QString text = nvr::AnswerText(buffer.data(), int(buffer.size()));
    int id = 12345;
    const nvr::BackupGrant grant = nvr::ReadBackupGrant(text, &id);
    const bool running = text.contains(QLatin1String("-1")) || text.contains(QLatin1String("-2"));
    Check((grant == nvr::BackupGrant::BackupRunning) == running);
    if (!running) Check((grant == nvr::BackupGrant::Lease) == text.contains(QLatin1String("lease")));
    if (grant != nvr::BackupGrant::Lease) Check(id == 12345);
    int lease = 0;
    if (grant == nvr::BackupGrant::Lease) Check(nvr::ReadLeaseValue(text, &lease) && lease == id);
  }
  // Backup-id query (128 bytes).
  {
    const std::vector<char> buffer = Received(data, size, 128);
    const QString text = nvr::AnswerText(buffer.data(), int(buffer.size()));
    int id = -7;
    const int result = nvr::ReadBackupQuery(text, &id);
    if (text.contains(QLatin1String("500"))) {
      Check(result == -3);
    } else if (!text.contains(QLatin1String("lease"))) {
      Check(result == 0);
    } else {
      Check(result == 1 || result < 0);
      int lease = 0;
      Check(nvr::ReadLeaseValue(text, &lease));
      Check(result == 1 ? (id == lease && lease >= 0) : (result == lease && id == -7));
    }
    if (result != 1) Check(id == -7);
  }
  return 0;
}
