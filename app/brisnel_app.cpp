#include "app/brisnel_app.h"

#include "app/brisnel_dlg.h"

// Constructed in this order, so destroyed at exit in the reverse order:
// first the socket library's clean-up, then the application object.
CBrisnelApp theApp;
SocketLibraryGuard theSocketLibraryGuard;

bool CBrisnelApp::InitInstance() {
  // The common controls and control hosting need no initialisation here.
  SetRegistryKey(QString::fromUtf8("\xE6\x9C\xAC\xE6\xA9\x9F AppWizard \xE6\x89\x80\xE7\x94\xA2\xE7\x94\x9F\xE7\x9A\x84"
                                   "\xE6\x87\x89\xE7\x94\xA8\xE7\xA8\x8B\xE5\xBC\x8F"));
  auto* dlg = new CBrisnelDlg;
  m_pMainWnd = dlg;
  platform::ui::SetMainDialog(dlg);
  dlg->DoModal();
  // The window is gone with the end of DoModal.
  m_pMainWnd = nullptr;
  delete dlg;
  return false;
}
