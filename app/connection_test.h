#pragma once
// The connection test without a window: the address must answer an ICMP echo,
// then the recorder must answer "/config/datetime" with the page's port, user
// name and password.
#include <QString>
#include <atomic>

#include "store/server_entry.h"

// The start of every result text: the server name as plain text, "(", the
// address, ") ".
QString ConnectionTestPrefix(const ServerEntry& fields);

// 1 when the recorder answered with a text that begins with "date", else 0;
// text := prefix + "Connection Success!" or "Failed to Connection!". The HTTP
// check gives up (as a failure) soon after `requested` drops to 0. The port is
// the decimal number at the start of the port text (0: the client's default).
int RunConnectionTest(const ServerEntry& fields, const std::atomic<int>& requested, QString* text);
