#pragma once
// Dialogs of the window layer. A Dialog is a plain object; its window exists
// only while DoModal runs: DoModal builds it from the template, runs a nested
// loop, and tears the window and its children down before it returns. While
// the window exists its message end is a WindowPort: a registered id that any
// thread may post to, and the window's timers.
#include <QIcon>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/core/window_post.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/drawing.h"
#include "platform/ui/menu.h"
#include "platform/ui/messages.h"

class QWidget;

namespace platform::ui {

class DialogWindow;
class WindowPort;

class Dialog {
 public:
  explicit Dialog(DialogTemplate tpl);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally; IDOK, IDCANCEL, another EndDialog code, or -1
  // when the window could not be made (also when it is already running).
  int DoModal();
  void EndDialog(int result);
  // Makes the window as a modeless child of parent (a template with kChild),
  // hidden; false when it exists already. It goes with its parent's window,
  // or with DestroyWindow.
  bool Create(QWidget* parent);
  void DestroyWindow();
  // True once EndDialog was called in the current run.
  bool HasEnded() const { return ended_; }

  // The window's id while it exists, else kNoWindow.
  WindowId Id() const;
  bool HasWindow() const { return window_ != nullptr; }
  QWidget* Window() const;
  QWidget* Client() const;  // the client area, where controls live
  QWidget* GetDlgItem(int id) const;
  template <class T>
  T* Item(int id) const {
    return dynamic_cast<T*>(GetDlgItem(id));
  }
  const DialogTemplate& Template() const { return template_; }
  const DialogUnits& Units() const { return units_; }

  // Timers by (window, id): starting a running id restarts it. They stop
  // with the window. Returns the id, or 0 when there is no window.
  unsigned SetTimer(unsigned id, int milliseconds);
  bool KillTimer(unsigned id);
  bool IsTimerRunning(unsigned id) const;

  // Delivers a message now, through the hook and the base handling.
  bool SendMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
  // Queues a message for the window; dropped when the window is gone.
  bool PostMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
  // A command as a menu item, toolbar button or push button sends it.
  bool SendCommand(unsigned id) { return SendMessage(WM_COMMAND, MakeWParam(id, BN_CLICKED), 0); }

  void SetMenu(std::unique_ptr<MenuBar> menu);
  MenuBar* GetMenu() const { return menu_.get(); }
  void SetIcon(const QIcon& icon);
  void SetWindowText(const QString& text);
  void Invalidate();
  bool IsIconic() const;
  QWidget* CreateStatic(int id, const QString& text, const QRect& rect);

  // Hands a user's action (button click, menu choice) to the command path.
  std::function<void(unsigned)> CommandSink();

 protected:
  // The hook that sees every message first (acts, then calls the base).
  virtual bool OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  // WM_COMMAND: the base dispatches through the command map (IDOK and IDCANCEL by default).
  virtual bool OnCommand(std::uintptr_t wParam, std::intptr_t lParam);
  virtual bool OnNotify(int controlId, unsigned code, std::intptr_t data);
  // The base binds the controls through DoDataExchange; derived classes call it first.
  virtual bool OnInitDialog() {
    DoDataExchange();
    return true;
  }
  virtual void DoDataExchange() {}
  // Binds a member to the template's control with that id (null when there is none of that kind).
  template <class T>
  void DDX_Control(int id, T*& member) {
    member = Item<T>(id);
  }
  template <class T>
  void DDX_Control(int id, QPointer<T>& member) {
    member = Item<T>(id);
  }
  virtual void OnTimer(unsigned id) { (void)id; }
  virtual void OnSysCommand(unsigned id, std::intptr_t lParam) { (void)id; (void)lParam; }
  virtual void OnDestroy() {}
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // True when the handler painted the whole background itself.
  virtual bool OnEraseBkgnd(PaintDC& dc) { (void)dc; return false; }
  virtual void OnPaint(PaintDC& dc) { (void)dc; }
  virtual CtlColor OnCtlColor(int controlId) { (void)controlId; return {}; }

  // The message map: handlers for commands (menu items, buttons) and notifications.
  void MapCommand(unsigned id, std::function<void()> handler);
  void MapNotify(int controlId, unsigned code, std::function<void(std::intptr_t)> handler);

 private:
  friend class DialogWindow;
  bool Dispatch(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  void HandlePaint(QWidget* client, QPaintEvent* event);
  void HandleKey(int key, QWidget* focus);
  bool BuildWindow(QWidget* childParent = nullptr);
  // Centres the window on the screen, or over its owner's window (a modal
  // window opened from another, without kCentered).
  void PlaceWindow();
  void Teardown();

  DialogTemplate template_;
  QFont font_;
  DialogUnits units_{6, 13};
  DialogWindow* window_ = nullptr;
  WindowPort* port_ = nullptr;  // a child of window_, deleted first by Teardown
  bool running_ = false;  // inside the nested loop
  bool child_ = false;    // made by Create
  bool ended_ = false;
  int result_ = -1;
  std::map<unsigned, std::function<void()>> commands_;
  std::map<std::pair<int, unsigned>, std::function<void(std::intptr_t)>> notifies_;
  std::map<int, QPointer<QWidget>> items_;
  std::unique_ptr<MenuBar> menu_;
  QIcon icon_;
};

// Observes every dialog once its window is built and initialised, before its
// loop runs: tests answer modal dialogs through it. Returns the previous hook.
using DialogShownHook = std::function<void(Dialog&)>;
DialogShownHook SetDialogShownHook(DialogShownHook hook);

// The dialog whose window has this id, on the window thread; null when gone.
Dialog* FindDialog(WindowId id);
// The innermost running modal dialog, or null.
Dialog* ActiveModalDialog();

// The program's main window: owner of the framework's boxes when no modal dialog runs.
void SetMainDialog(Dialog* dialog);
Dialog* MainDialog();

}  // namespace platform::ui
