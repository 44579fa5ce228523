#pragma once
// Runs the server manager for the main window's "Remote Server" command: the
// operator picks a recorder, and OK copies its address, port, name, user name
// and password into the caller's entry. Tests put their own choice in its place.
#include <functional>

#include "store/server_entry.h"

// True when the operator ended the server manager with OK (the entry was
// filled); false for Cancel (the entry is untouched).
using ServerManagerRunner = std::function<bool(ServerEntry& entry)>;

// Installs a runner and returns the previous one; an empty runner restores the real dialog.
ServerManagerRunner SetServerManagerRunner(ServerManagerRunner runner);

bool RunServerManager(ServerEntry& entry);
