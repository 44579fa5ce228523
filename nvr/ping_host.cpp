#include "nvr/ping_host.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include "platform/core/icmp_socket.h"

namespace nvr {
namespace {

std::uint16_t OwnIdentifier() { return static_cast<std::uint16_t>(::getpid() & 0xFFFF); }

std::uint32_t TickCount() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::uint16_t Load16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

std::uint16_t InternetChecksum(const unsigned char* data, std::size_t size) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < size; i += 2) sum += Load16(data + i);
  if (i < size) sum += data[i];
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

void BuildEchoRequest(unsigned char* buffer, std::uint16_t identifier, std::uint32_t tick) {
  std::memset(buffer, 0, kEchoRequestSize);
  buffer[0] = 8;
  buffer[1] = 0;
  buffer[4] = static_cast<unsigned char>(identifier & 0xFF);
  buffer[5] = static_cast<unsigned char>(identifier >> 8);
  for (int i = 0; i < 4; ++i) buffer[8 + i] = static_cast<unsigned char>(tick >> (8 * i));
  std::memset(buffer + 12, 0x45, 32);
  const std::uint16_t sum = InternetChecksum(buffer, kEchoRequestSize);
  buffer[2] = static_cast<unsigned char>(sum & 0xFF);
  buffer[3] = static_cast<unsigned char>(sum >> 8);
}

void BuildEchoRequest(unsigned char* buffer) { BuildEchoRequest(buffer, OwnIdentifier(), TickCount()); }

int PingStartup() {
  // Nothing to start on this platform, but keep the start-up to one run.
  static std::once_flag once;
  static int started = 0;
  std::call_once(once, [] { started = 1; });
  return started;
}

int WaitSocketReadable(platform::IcmpSocket& socket, int* readable, int timeoutMs) {
  *readable = 0;
  const int r = socket.WaitReadable(timeoutMs);
  if (r < 0) return 0;
  *readable = r;
  return 1;
}

namespace {

// True when our reply arrived, else false with *error telling why.
bool Probe(const QString& host, PingReply* reply, int* error) {
  const auto fail = [error](int why) {
    *error = why;
    return false;
  };
  if (const platform::EchoProbeOverride probe = platform::CurrentEchoProbeOverride()) {
    return probe(host) || fail(kPingTimedOut);
  }
  if (!PingStartup()) return fail(ENOSYS);
  std::uint32_t address = 0;
  if (!platform::ResolveIpv4(host, &address)) return fail(EHOSTUNREACH);

  platform::IcmpSocket socket;
  if (!socket.Open()) return fail(errno);
  unsigned char request[kEchoRequestSize];
  BuildEchoRequest(request);
  const std::uint16_t expectedId = socket.IsRaw() ? OwnIdentifier() : socket.KernelIdentifier();

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  if (!socket.SendTo(address, request, sizeof request)) return fail(errno);
  const Clock::time_point deadline = start + std::chrono::milliseconds(kPingWaitMs);

  // Other ICMP traffic reaches a raw socket too (on loopback our own request
  // comes back first): read on until our reply or the deadline.
  unsigned char datagram[1024];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return fail(kPingTimedOut);
    int readable = 0;
    if (!WaitSocketReadable(socket, &readable, int(left))) return fail(errno);
    if (!readable) return fail(kPingTimedOut);
    std::uint32_t from = 0;
    const long n = socket.ReceiveFrom(datagram, sizeof datagram, &from);
    if (n < 0) return fail(errno);
    std::size_t header = 0;
    if (socket.IsRaw()) {
      if (n < 1) continue;
      header = std::size_t(datagram[0] & 0x0F) * 4;
    }
    if (std::size_t(n) < header + 8) continue;
    const unsigned char* icmp = datagram + header;
    if (icmp[0] != 0) continue;
    // Every probe of this process uses the same identifier, and every raw
    // socket sees every reply: only the probed host's reply counts.
    if (from != address) continue;
    // A raw socket sees our identifier as we stored it; on a datagram socket the
    // kernel wrote its own, in network order.
    const std::uint16_t id = socket.IsRaw() ? Load16(icmp + 4) : std::uint16_t((icmp[4] << 8) | icmp[5]);
    if (id != expectedId) continue;
    if (reply) {
      reply->address = from;
      reply->milliseconds =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    }
    return true;
  }
}

}  // namespace

int PingHost(const QString& host, PingReply* reply) {
  int error = 0;
  if (Probe(host, reply, &error)) return 1;
  // Set once the probe's socket is closed, so that closing cannot change it.
  errno = error;
  return 0;
}

}  // namespace nvr
