#include "platform/core/icmp_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace platform {

bool IcmpSocket::Open() {
  Close();
  fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd_ >= 0) {
    raw_ = true;
    return true;
  }
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd_ < 0) return false;
  raw_ = false;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
    socklen_t len = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &len) == 0) kernelId_ = ntohs(local.sin_port);
  }
  return true;
}

void IcmpSocket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  raw_ = false;
  kernelId_ = 0;
}

bool IcmpSocket::SendTo(std::uint32_t address, const unsigned char* data, std::size_t size) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  const ssize_t sent = ::sendto(fd_, data, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  return sent == static_cast<ssize_t>(size);
}

int IcmpSocket::WaitReadable(int timeoutMs) {
  pollfd p{fd_, POLLIN, 0};
  for (;;) {
    const int r = ::poll(&p, 1, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
  }
}

long IcmpSocket::ReceiveFrom(unsigned char* buffer, std::size_t size, std::uint32_t* from) {
  sockaddr_in src{};
  socklen_t len = sizeof src;
  const ssize_t n = ::recvfrom(fd_, buffer, size, 0, reinterpret_cast<sockaddr*>(&src), &len);
  if (n >= 0 && from) *from = src.sin_addr.s_addr;
  return static_cast<long>(n);
}

bool ResolveIpv4(const QString& host, std::uint32_t* address) {
  const QByteArray text = host.toLatin1();
  if (text.isEmpty() || text.contains('\0')) return false;
  in_addr literal{};
  if (::inet_pton(AF_INET, text.constData(), &literal) == 1) {
    *address = literal.s_addr;
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_RAW;
  addrinfo* found = nullptr;
  if (::getaddrinfo(text.constData(), nullptr, &hints, &found) != 0 || !found) return false;
  *address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(found);
  return true;
}

namespace {
std::mutex& OverrideLock() {
  static std::mutex lock;
  return lock;
}
EchoProbeOverride& Override() {
  static EchoProbeOverride probe;
  return probe;
}
}  // namespace

EchoProbeOverride SetEchoProbeOverride(EchoProbeOverride probe) {
  std::lock_guard<std::mutex> hold(OverrideLock());
  EchoProbeOverride previous = std::move(Override());
  Override() = std::move(probe);
  return previous;
}

EchoProbeOverride CurrentEchoProbeOverride() {
  std::lock_guard<std::mutex> hold(OverrideLock());
  return Override();
}

}  // namespace platform
