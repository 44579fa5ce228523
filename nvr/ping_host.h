#pragma once
// The reachability probe: one ICMP echo request, one matching reply awaited for
// at most 5 seconds.
#include <QString>

#include <cstddef>
#include <cstdint>

namespace platform {
class IcmpSocket;
}

namespace nvr {

inline constexpr std::size_t kEchoRequestSize = 44;
inline constexpr int kPingWaitMs = 5000;
inline constexpr int kPingTimedOut = 10060;

struct PingReply {
  std::uint32_t address = 0;   // network byte order
  std::int64_t milliseconds = 0;
};

// 1 when an echo reply to our own request arrived within 5 seconds, else 0 with
// the thread's errno telling why (kPingTimedOut, or the failing call's errno).
int PingHost(const QString& host, PingReply* reply);

// 1 when the probe can work; runs its one-time start-up once per process.
int PingStartup();

// 1 when the wait itself worked (*readable says whether data arrived), 0 on error.
int WaitSocketReadable(platform::IcmpSocket& socket, int* readable, int timeoutMs = kPingWaitMs);

// Type 8, code 0, checksum, identifier (low 16 bits of the process id), sequence
// 0, the millisecond tick, 32 bytes of 0x45. Multi-byte fields little-endian.
void BuildEchoRequest(unsigned char* buffer);
void BuildEchoRequest(unsigned char* buffer, std::uint16_t identifier, std::uint32_t tick);

// RFC 1071 checksum over 16-bit words read in the host's (little-endian) order.
std::uint16_t InternetChecksum(const unsigned char* data, std::size_t size);

}  // namespace nvr
