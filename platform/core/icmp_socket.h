#pragma once
// An ICMP echo socket: raw where permitted (replies carry the IP header and our
// identifier), otherwise the unprivileged datagram kind (no IP header; the kernel
// sets the identifier and passes only replies to our own requests).
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace platform {

class IcmpSocket {
 public:
  IcmpSocket() = default;
  ~IcmpSocket() { Close(); }
  IcmpSocket(const IcmpSocket&) = delete;
  IcmpSocket& operator=(const IcmpSocket&) = delete;

  // False (errno kept) when neither kind can be opened.
  bool Open();
  void Close();
  bool IsRaw() const { return raw_; }
  // The identifier the kernel puts in our requests on a datagram socket; on a raw
  // socket the request's own field goes out unchanged.
  std::uint16_t KernelIdentifier() const { return kernelId_; }

  // IPv4 address in network byte order.
  bool SendTo(std::uint32_t address, const unsigned char* data, std::size_t size);
  // 1 readable, 0 time-out, -1 error.
  int WaitReadable(int timeoutMs);
  // Bytes received, -1 on error; *from in network byte order.
  long ReceiveFrom(unsigned char* buffer, std::size_t size, std::uint32_t* from);

 private:
  int fd_ = -1;
  bool raw_ = false;
  std::uint16_t kernelId_ = 0;
};

// IPv4 address of a dotted address or host name (network byte order), resolved
// without touching shared resolver state. False when there is none.
bool ResolveIpv4(const QString& host, std::uint32_t* address);

// The probe seam: tests install a function that answers in place of the real
// echo (true = the host answered). An empty function restores the real probe.
using EchoProbeOverride = std::function<bool(const QString& host)>;
EchoProbeOverride SetEchoProbeOverride(EchoProbeOverride probe);
// The installed override, empty when none.
EchoProbeOverride CurrentEchoProbeOverride();

}  // namespace platform
