#include "app/server_manager_runner.h"

namespace {

ServerManagerRunner& Runner() {
  static ServerManagerRunner runner;
  return runner;
}

// The server manager dialog is not part of this build yet: nothing is chosen.
bool RunServerManagerDialog(ServerEntry& entry) {
  (void)entry;
  return false;
}

}  // namespace

ServerManagerRunner SetServerManagerRunner(ServerManagerRunner runner) {
  ServerManagerRunner previous = std::move(Runner());
  Runner() = std::move(runner);
  return previous;
}

bool RunServerManager(ServerEntry& entry) {
  if (Runner()) return Runner()(entry);
  return RunServerManagerDialog(entry);
}
