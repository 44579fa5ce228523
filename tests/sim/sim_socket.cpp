#include "sim_socket.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace sim {

namespace {

int PortOf(const sockaddr_storage& a) {
  if (a.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port);
  if (a.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(a).sin6_port);
  return -1;
}

// Open TCP connections as (fd, local port, peer port).
struct Conn {
  int fd, local, peer;
};

std::vector<Conn> OpenConnections() {
  std::vector<Conn> out;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return out;
  const int own = dirfd(dir);
  while (dirent* e = readdir(dir)) {
    char* end = nullptr;
    const long fd = std::strtol(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || fd == own) continue;
    sockaddr_storage local{}, peer{};
    socklen_t ll = sizeof local, pl = sizeof peer;
    if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &ll) != 0) continue;
    if (getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &pl) != 0) continue;
    out.push_back({static_cast<int>(fd), PortOf(local), PortOf(peer)});
  }
  closedir(dir);
  return out;
}

}  // namespace

int FindConnection(int local_port, int remote_port) {
  for (const Conn& c : OpenConnections())
    if (c.local == local_port && c.peer == remote_port) return c.fd;
  return -1;
}

bool SendAll(int fd, std::string_view data, const std::atomic<int>& stopping) {
  size_t sent = 0;
  while (sent < data.size()) {
    if (stopping.load()) return false;
    pollfd p{fd, POLLOUT, 0};
    const int r = poll(&p, 1, 200);
    if (r < 0 && errno != EINTR) return false;
    if (r <= 0) continue;
    const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  return true;
}

void EndConnection(int fd) {
  if (fd >= 0) shutdown(fd, SHUT_RDWR);
}

void EndConnectionsOnPort(int local_port) {
  for (const Conn& c : OpenConnections())
    if (c.local == local_port) EndConnection(c.fd);
}

}  // namespace sim
