#pragma once
// The application object: InitInstance runs the main window modally, deletes
// it (its destructor does the shutdown work) and returns false, so the main
// window's loop is the program's only main loop.
#include <QString>

namespace platform::ui {
class Dialog;
}

class CBrisnelApp {
 public:
  CBrisnelApp() = default;
  virtual ~CBrisnelApp() = default;

  virtual bool InitInstance();
  // Help (F1) looks for a help file the program does not have: nothing happens.
  void OnHelp() {}

  platform::ui::Dialog* MainWindow() const { return m_pMainWnd; }
  QString RegistryKey() const { return m_registryKey; }

 private:
  // Nothing of the program's own is stored under it.
  void SetRegistryKey(const QString& key) { m_registryKey = key; }

  platform::ui::Dialog* m_pMainWnd = nullptr;
  QString m_registryKey;
};

// Ends the socket library once at process exit. POSIX sockets need no
// library start or clean-up, so its destructor has nothing to do.
class SocketLibraryGuard {};

extern CBrisnelApp theApp;
