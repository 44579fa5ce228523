#include "app/server_manager_runner.h"

#include "app/remote_dialog.h"

namespace {

ServerManagerRunner& Runner() {
  static ServerManagerRunner runner;
  return runner;
}

bool RunServerManagerDialog(ServerEntry& entry) {
  CRemoteDialog dlg;
  dlg.m_pServerEntry = &entry;
  return dlg.DoModal() == platform::ui::IDOK;
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
