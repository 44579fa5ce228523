// Raw access to the connections of the simulated recorder, for the answers
// that the HTTP library would not send: cut short, stalled or no answer at all.
#pragma once

#include <atomic>
#include <string_view>

namespace sim {

// The descriptor of this process's TCP connection whose local port is
// `local_port` and whose peer port is `remote_port`; -1 when none.
int FindConnection(int local_port, int remote_port);
// Sends all of `data`; false when the peer is gone or `stopping` becomes set.
bool SendAll(int fd, std::string_view data, const std::atomic<int>& stopping);
// Ends a connection in both directions. The descriptor stays open; its
// owner (the HTTP library) closes it when its next read or write fails.
void EndConnection(int fd);
// Ends every connection accepted on `local_port`, so idle kept-alive
// connections do not hold a server thread when the recorder stops.
void EndConnectionsOnPort(int local_port);

}  // namespace sim
