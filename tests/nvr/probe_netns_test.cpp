// A host that never answers the ICMP probe, made in a network namespace of the
// test's own: its loopback ignores echo requests.
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "name_lookup_guard.h"
#include "nvr/ping_host.h"
#include "platform/core/icmp_socket.h"
#include "sim_fixture.h"

using namespace nvr;

namespace {

int Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

class Namespace {
 public:
  explicit Namespace(const std::string& role = "probe") : name_("tarnwell-" + role + "-" + std::to_string(::getpid())) {
    ok_ = Run("ip netns add " + name_) == 0 && Run("ip netns exec " + name_ + " ip link set lo up") == 0;
  }
  ~Namespace() { Run("ip netns del " + name_); }
  bool Ok() const { return ok_; }
  const std::string& Name() const { return name_; }
  bool Exec(const std::string& command) { return Run("ip netns exec " + name_ + " " + command) == 0; }
  bool Sysctl(const std::string& setting) {
    return Run("ip netns exec " + name_ + " sysctl -q -w " + setting) == 0;
  }
  bool IgnoreEcho(bool ignore) {
    return Run("ip netns exec " + name_ + " sysctl -q -w net.ipv4.icmp_echo_ignore_all=" + (ignore ? "1" : "0")) == 0;
  }
  // Moves the calling thread into the namespace.
  bool Enter() {
    const int fd = ::open(("/var/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool entered = ::setns(fd, CLONE_NEWNET) == 0;
    ::close(fd);
    return entered;
  }

 private:
  std::string name_;
  bool ok_ = false;
};

// Capabilities are per thread: without CAP_NET_RAW this thread cannot open a
// raw socket, as an unprivileged user could not.
bool DropRawSocketCapability() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  data[CAP_NET_RAW / 32].effective &= ~(1u << (CAP_NET_RAW % 32));
  return ::syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

TEST(ProbeNamespace, SilentHostGetsNoHttpRequest) {
  Namespace ns;
  if (!ns.Ok() || !ns.IgnoreEcho(true)) GTEST_SKIP() << "network namespaces are not available here";
  std::string failure;
  std::thread inside([&] {
    if (!ns.Enter()) {
      failure = "setns failed";
      return;
    }
    sim::SimRecorder recorder;
    if (!recorder.Start()) {
      failure = "recorder: " + recorder.Error();
      return;
    }
    NvrSession s;
    s.SetServer("Sim", "127.0.0.1", "admin", "admin", recorder.Port(), 0);
    const auto start = std::chrono::steady_clock::now();
    if (s.Login() != 0) failure += "logged in to a host that ignores the probe; ";
    if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(4900)) failure += "gave up early; ";
    if (recorder.RequestCount() != 0) failure += "an HTTP request was sent; ";
    // The same host answering the probe is logged in to.
    if (!ns.IgnoreEcho(false)) failure += "sysctl failed; ";
    if (s.Login() != 1) failure += "no login once the host answers; ";
    if (recorder.RequestCount(sim::Request::Login) != 1) failure += "expected exactly one login request; ";
  });
  inside.join();
  EXPECT_EQ(failure, "");
}

TEST(ProbeNamespace, DatagramSocketWhereRawIsNotPermitted) {
  Namespace ns;
  if (!ns.Ok() || !ns.Sysctl("net.ipv4.ping_group_range='0 0'")) GTEST_SKIP() << "network namespaces are not available here";
  std::string failure;
  std::thread inside([&] {
    if (!ns.Enter() || !DropRawSocketCapability()) {
      failure = "could not enter the namespace or drop CAP_NET_RAW";
      return;
    }
    platform::IcmpSocket socket;
    if (!socket.Open()) failure += "no ICMP socket at all; ";
    if (socket.IsRaw()) failure += "a raw socket without CAP_NET_RAW; ";
    socket.Close();
    PingReply reply;
    errno = 0;
    if (PingHost("127.0.0.1", &reply) != 1) failure += "no reply, error " + std::to_string(errno) + "; ";
    if (reply.address != 0x0100007Fu) failure += "wrong source; ";
  });
  inside.join();
  EXPECT_EQ(failure, "");
}

// Every raw ICMP socket of the process sees every echo reply that carries the
// process's identifier. A probe of a silent host must not take the reply that
// another probe's host sent meanwhile. The silent host is a second namespace
// of the test's own, linked to the first, that ignores echo requests.
TEST(ProbeNamespace, AReplyFromAnotherHostIsNotTaken) {
  Namespace ns;
  Namespace silent("silent");
  if (!ns.Ok() || !silent.Ok() || !silent.IgnoreEcho(true) ||
      !ns.Exec("sh -c 'ip link add v0 type veth peer name v1 netns " + silent.Name() +
               " && ip addr add 198.18.0.1/24 dev v0 && ip link set v0 up'") ||
      !silent.Exec("sh -c 'ip addr add 198.18.0.2/24 dev v1 && ip link set v1 up'"))
    GTEST_SKIP() << "network namespaces or veth links are not available here";
  std::string failure;
  std::atomic<bool> done{false};
  std::thread other([&] {
    if (!ns.Enter()) return;
    while (!done.load()) PingHost("127.0.0.1", nullptr);  // answered at once
  });
  std::thread inside([&] {
    if (!ns.Enter()) {
      failure = "setns failed";
      return;
    }
    platform::IcmpSocket probe;
    if (!probe.Open() || !probe.IsRaw()) {
      failure = "skip";
      return;
    }
    probe.Close();
    errno = 0;
    const int result = PingHost("198.18.0.2", nullptr);
    const int error = errno;
    if (result != 0) failure += "took another host's reply; ";
    if (error != kPingTimedOut) failure += "error " + std::to_string(error) + "; ";
  });
  inside.join();
  done = true;
  other.join();
  if (failure == "skip") GTEST_SKIP() << "no raw ICMP socket here";
  EXPECT_EQ(failure, "");
}

// A name the resolver cannot find. The look-up runs on a thread inside the
// namespace, which has nothing but loopback: the resolver's query cannot leave
// the machine. A resolver daemon reached over a local socket would carry it out
// of the namespace, so the test does not run where one listens.
TEST(ProbeNamespace, NameTheResolverCannotFind) {
  for (const char* daemon : {"/var/run/nscd/socket", "/run/systemd/resolve/io.systemd.Resolve"})
    if (std::filesystem::exists(daemon)) GTEST_SKIP() << daemon << " would take the look-up out of the namespace";
  Namespace ns;
  if (!ns.Ok()) GTEST_SKIP() << "network namespaces are not available here";
  std::string failure;
  std::thread inside([&] {
    if (!ns.Enter()) {
      failure = "setns failed";
      return;
    }
    testguard::AllowNameLookupsOnThisThread();
    errno = 0;
    const int result = PingHost("no-such-host.invalid", nullptr);
    const int error = errno;
    if (result != 0) failure += "a reply from a name that has no address; ";
    if (error != EHOSTUNREACH) failure += "error " + std::to_string(error) + "; ";
  });
  inside.join();
  EXPECT_EQ(failure, "");
}
