#include "platform/ui/dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "platform/ui/form_controls.h"
#include "platform/ui/placement.h"
#include "platform/ui/window_port.h"

namespace platform::ui {
namespace {

// Window-thread bookkeeping: which dialog owns which id, and the modal stack.
std::map<WindowId, Dialog*>& Windows() {
  static std::map<WindowId, Dialog*> windows;
  return windows;
}
std::vector<Dialog*>& ModalStack() {
  static std::vector<Dialog*> stack;
  return stack;
}
DialogShownHook& ShownHook() {
  static DialogShownHook hook;
  return hook;
}
Dialog*& MainDialogSlot() {
  static Dialog* main = nullptr;
  return main;
}

}  // namespace

// The client area: children are placed in its pixel coordinates, and it
// paints through the dialog's background and paint handlers.
class ClientArea : public QWidget {
 public:
  ClientArea(QWidget* parent, std::function<void(QWidget*, QPaintEvent*)> paint, std::function<void(QPoint)> press)
      : QWidget(parent), paint_(std::move(paint)), press_(std::move(press)) {}

 protected:
  void paintEvent(QPaintEvent* event) override { paint_(this, event); }
  // A left click on the dialog itself, not on one of its controls.
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) {
      QWidget::mousePressEvent(event);
      return;
    }
    event->accept();
    press_(event->position().toPoint());
  }

 private:
  std::function<void(QWidget*, QPaintEvent*)> paint_;
  std::function<void(QPoint)> press_;
};

class DialogWindow : public QDialog {
 public:
  DialogWindow(Dialog* owner, QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags), owner_(owner) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->setSizeConstraint(QLayout::SetFixedSize);
    client_ = new ClientArea(
        this, [this](QWidget* w, QPaintEvent* e) { owner_->HandlePaint(w, e); },
        [this](QPoint at) {
          const auto lParam = static_cast<std::intptr_t>(MakeWParam(static_cast<unsigned>(at.x()), static_cast<unsigned>(at.y())));
          owner_->Dispatch(WM_LBUTTONDOWN, 0x0001 /* left button down */, lParam);
        });
    layout_->addWidget(client_);
  }
  QWidget* Client() const { return client_; }
  QVBoxLayout* Layout() const { return layout_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const int key = event->key();
    if (owner_->child_) {
      // A page inside another dialog: Enter and Escape belong to that dialog.
      QWidget::keyPressEvent(event);
      return;
    }
    if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (event->modifiers() & ~(Qt::KeypadModifier)) {
        QDialog::keyPressEvent(event);
        return;
      }
      event->accept();
      owner_->HandleKey(key, focusWidget());
      return;
    }
    QDialog::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    // The close box takes the Cancel path; the dialog decides whether it ends.
    event->ignore();
    owner_->Dispatch(WM_CLOSE, 0, 0);
  }
  void reject() override { owner_->SendCommand(IDCANCEL); }
  void accept() override { owner_->SendCommand(IDOK); }

 private:
  Dialog* owner_;
  QVBoxLayout* layout_;
  ClientArea* client_;
};

Dialog::Dialog(DialogTemplate tpl) : template_(std::move(tpl)) {}

Dialog::~Dialog() {
  if (window_ != nullptr) Teardown();
  if (MainDialogSlot() == this) MainDialogSlot() = nullptr;
}

QWidget* Dialog::Window() const { return window_; }
QWidget* Dialog::Client() const { return window_ ? window_->Client() : nullptr; }

QWidget* Dialog::GetDlgItem(int id) const {
  auto it = items_.find(id);
  return it == items_.end() ? nullptr : it->second.data();
}

bool Dialog::BuildWindow(QWidget* childParent) {
  if (QApplication::instance() == nullptr) return false;
  QWidget* parent = childParent;
  if (parent == nullptr) {
    if (Dialog* active = ActiveModalDialog()) parent = active->Window();
    else if (MainDialog() != nullptr && MainDialog() != this) parent = MainDialog()->Window();
  }

  Qt::WindowFlags flags;
  if (childParent != nullptr) {
    flags = Qt::Widget;
  } else if (template_.style & kAppWindow) {
    flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (template_.style & kMinMaxBox) flags |= Qt::WindowMinMaxButtonsHint;
  } else if (template_.style & kCaption) {
    flags = Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
    if (template_.style & kSysMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (template_.style & kMinMaxBox) flags |= Qt::WindowMinMaxButtonsHint;
  } else {
    flags = Qt::Dialog | Qt::FramelessWindowHint;
  }

  font_ = TemplateFont(template_.fontFace, template_.fontPoints);
  units_ = DialogUnits(font_);
  window_ = new DialogWindow(this, parent, flags);
  if (childParent != nullptr) {
    // A dialog window is top-level by nature; a page is an ordinary child that
    // its owner places and sizes.
    window_->setWindowFlags(Qt::Widget);
    window_->Layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    window_->hide();
  }
  window_->setFont(font_);
  window_->setWindowTitle(template_.caption);
  window_->setSizeGripEnabled(false);
  if (!icon_.isNull()) window_->setWindowIcon(icon_);
  QWidget* client = window_->Client();
  const QSize templateSize(units_.ToPixelsX(template_.cx), units_.ToPixelsY(template_.cy));
  if (childParent != nullptr) {
    window_->resize(templateSize);
  } else if (template_.style & kMinMaxBox) {
    // It can be maximised: the client area takes the added room, below and to
    // the right of the controls, which keep their places from the top-left.
    client->setMinimumSize(templateSize);
    window_->Layout()->setSizeConstraint(QLayout::SetMinimumSize);
  } else {
    client->setFixedSize(templateSize);
  }

  for (const ControlTemplate& c : template_.controls) {
    const QRect rect = units_.ToPixels(c.x, c.y, c.cx, c.cy);
    const auto maker = template_.makers.find(c.id);
    QWidget* widget = maker != template_.makers.end() ? maker->second(client) : nullptr;
    if (widget == nullptr) switch (c.kind) {
      case ControlKind::PushButton:
      case ControlKind::DefPushButton: {
        auto* button = new QPushButton(c.text, client);
        const bool isDefault = c.kind == ControlKind::DefPushButton;
        button->setAutoDefault(isDefault);
        button->setDefault(isDefault);
        button->setFocusPolicy((c.style & kTabStop) ? Qt::StrongFocus : Qt::NoFocus);
        const unsigned id = static_cast<unsigned>(c.id);
        QObject::connect(button, &QPushButton::clicked, client, [this, id] { SendCommand(id); });
        widget = button;
        break;
      }
      case ControlKind::StaticText: {
        auto* label = new StaticText(client, c.id, [this](int id) { return OnCtlColor(id); });
        label->setText(c.text);
        label->setWordWrap(c.cy > 12);
        widget = label;
        break;
      }
      case ControlKind::StaticIcon: {
        auto* label = new QLabel(client);
        const QIcon icon = LoadIcon(c.text);
        if (!icon.isNull()) label->setPixmap(icon.pixmap(32, 32));
        widget = label;
        break;
      }
      case ControlKind::ListView: {
        auto* list = new ListView(client, c.id);
        if (c.style & kBorder) list->setFrameShape(QFrame::StyledPanel);
        else list->setFrameShape(QFrame::NoFrame);
        list->setFocusPolicy((c.style & kTabStop) ? Qt::StrongFocus : Qt::NoFocus);
        list->SetNotifySink([this](int id, unsigned code) { OnNotify(id, code, 0); });
        widget = list;
        break;
      }
      default:
        widget = CreateFormControl(c, client, [this](int id, unsigned code) {
          SendMessage(WM_COMMAND, MakeWParam(static_cast<unsigned>(id), code), 0);
        });
        break;
    }
    if (widget == nullptr) continue;
    widget->setGeometry(c.kind == ControlKind::StaticIcon ? QRect(rect.topLeft(), QSize(32, 32)) : rect);
    // Our font and box run a little wider than the platform's: a check box keeps its whole text.
    if (c.kind == ControlKind::CheckBox) widget->resize(std::max(rect.width(), widget->sizeHint().width()), rect.height());
    widget->setVisible((c.style & kVisible) != 0);
    if (c.id != -1) items_[c.id] = widget;
  }

  port_ = new WindowPort(window_, [this](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    Dispatch(msg, wParam, lParam);
  });
  Windows()[port_->Id()] = this;
  return true;
}

int Dialog::DoModal() {
  if (window_ != nullptr) return -1;
  ended_ = false;
  result_ = -1;
  if (!BuildWindow()) return -1;
  if (menu_ && menu_->Widget()) window_->Layout()->setMenuBar(menu_->Widget());

  // The window has its place before its initialisation runs, so that a box
  // shown from there stands over it; again after, as the menu bar and the
  // controls made there may have changed its size, unless it placed itself.
  PlaceWindow();
  const QPoint placed = window_->pos();
  OnInitDialog();
  if (!ended_) {
    if (window_->pos() == placed) PlaceWindow();
    ModalStack().push_back(this);
    if (ShownHook()) ShownHook()(*this);
    if (!ended_) {
      running_ = true;
      window_->exec();
      running_ = false;
    }
    ModalStack().erase(std::remove(ModalStack().begin(), ModalStack().end(), this), ModalStack().end());
  }
  const int result = result_;
  Teardown();
  return result;
}

void Dialog::PlaceWindow() {
  window_->adjustSize();
  const QWidget* owner = window_->parentWidget() != nullptr ? window_->parentWidget()->window() : nullptr;
  window_->move(CentredOver((template_.style & kCentered) ? nullptr : owner, window_->size()));
}

bool Dialog::Create(QWidget* parent) {
  if (window_ != nullptr || parent == nullptr) return false;
  ended_ = false;
  result_ = -1;
  child_ = true;
  if (!BuildWindow(parent)) {
    child_ = false;
    return false;
  }
  OnInitDialog();
  return true;
}

void Dialog::DestroyWindow() { Teardown(); }

void Dialog::Teardown() {
  if (window_ == nullptr) return;
  Dispatch(WM_DESTROY, 0, 0);
  // Pages made inside this window go first, while their widgets still exist.
  std::vector<Dialog*> pages;
  for (const auto& [id, dialog] : Windows()) {
    if (dialog != this && dialog->window_ != nullptr && window_->isAncestorOf(dialog->window_)) pages.push_back(dialog);
  }
  for (Dialog* page : pages) page->Teardown();
  Windows().erase(port_->Id());
  delete port_;  // its id and timers go, and the messages still queued for it
  port_ = nullptr;
  ModalStack().erase(std::remove(ModalStack().begin(), ModalStack().end(), this), ModalStack().end());
  items_.clear();
  DialogWindow* window = window_;
  window_ = nullptr;
  child_ = false;
  delete window;  // children and queued events go with it
}

void Dialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  if (running_ && window_ != nullptr) window_->done(result);
}

WindowId Dialog::Id() const { return port_ != nullptr ? port_->Id() : kNoWindow; }

unsigned Dialog::SetTimer(unsigned id, int milliseconds) {
  return port_ != nullptr ? port_->SetTimer(id, milliseconds) : 0;
}

bool Dialog::KillTimer(unsigned id) { return port_ != nullptr && port_->KillTimer(id); }

bool Dialog::IsTimerRunning(unsigned id) const { return port_ != nullptr && port_->IsTimerRunning(id); }

bool Dialog::SendMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  return Dispatch(msg, wParam, lParam);
}

bool Dialog::PostMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  return PostWindowMessage(Id(), msg, wParam, lParam);
}

bool Dialog::Dispatch(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  return OnWndMsg(msg, wParam, lParam);
}

bool Dialog::OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  switch (msg) {
    case WM_COMMAND: return OnCommand(wParam, lParam);
    case WM_SYSCOMMAND: OnSysCommand(static_cast<unsigned>(wParam), lParam); return true;
    case WM_TIMER: OnTimer(static_cast<unsigned>(wParam)); return true;
    case WM_CLOSE: return SendCommand(IDCANCEL);
    case WM_DESTROY: OnDestroy(); return true;
    default: return false;
  }
}

bool Dialog::OnCommand(std::uintptr_t wParam, std::intptr_t) {
  const unsigned id = LoWord(wParam);
  auto it = commands_.find(id);
  if (it != commands_.end()) {
    auto handler = it->second;  // a handler may change the map
    handler();
    return true;
  }
  if (id == static_cast<unsigned>(IDOK)) {
    OnOK();
    return true;
  }
  if (id == static_cast<unsigned>(IDCANCEL)) {
    OnCancel();
    return true;
  }
  return false;
}

bool Dialog::OnNotify(int controlId, unsigned code, std::intptr_t data) {
  auto it = notifies_.find({controlId, code});
  if (it == notifies_.end()) return false;
  auto handler = it->second;
  handler(data);
  return true;
}

void Dialog::MapCommand(unsigned id, std::function<void()> handler) { commands_[id] = std::move(handler); }

void Dialog::MapNotify(int controlId, unsigned code, std::function<void(std::intptr_t)> handler) {
  notifies_[{controlId, code}] = std::move(handler);
}

void Dialog::HandlePaint(QWidget* client, QPaintEvent*) {
  QPainter painter(client);
  PaintDC dc(painter);
  if (!OnEraseBkgnd(dc)) painter.fillRect(client->rect(), client->palette().color(QPalette::Window));
  OnPaint(dc);
}

void Dialog::HandleKey(int key, QWidget* focus) {
  if (key == Qt::Key_Escape) {
    SendCommand(IDCANCEL);
    return;
  }
  // Enter: a focused push button, else the default button, else OK.
  if (auto* button = qobject_cast<QPushButton*>(focus); button && button->isVisible() && button->isEnabled()) {
    button->click();
    return;
  }
  for (const auto& [id, widget] : items_) {
    auto* button = qobject_cast<QPushButton*>(widget.data());
    if (button && button->isDefault() && button->isVisible() && button->isEnabled()) {
      button->click();
      return;
    }
  }
  SendCommand(IDOK);
}

void Dialog::SetMenu(std::unique_ptr<MenuBar> menu) {
  menu_ = std::move(menu);
  if (window_ != nullptr && menu_ && menu_->Widget()) window_->Layout()->setMenuBar(menu_->Widget());
}

void Dialog::SetIcon(const QIcon& icon) {
  icon_ = icon;
  if (window_ != nullptr) window_->setWindowIcon(icon);
}

void Dialog::SetWindowText(const QString& text) {
  template_.caption = text;
  if (window_ != nullptr) window_->setWindowTitle(text);
}

void Dialog::Invalidate() {
  if (window_ != nullptr) window_->Client()->update();
}

bool Dialog::IsIconic() const { return window_ != nullptr && window_->isMinimized(); }

QWidget* Dialog::CreateStatic(int id, const QString& text, const QRect& rect) {
  if (window_ == nullptr) return nullptr;
  auto* label = new StaticText(window_->Client(), id, [this](int control) { return OnCtlColor(control); });
  label->setText(text);
  label->setGeometry(rect);
  label->show();
  if (id != -1) items_[id] = label;
  return label;
}

std::function<void(unsigned)> Dialog::CommandSink() {
  return [this](unsigned id) { SendCommand(id); };
}

DialogShownHook SetDialogShownHook(DialogShownHook hook) {
  DialogShownHook previous = std::move(ShownHook());
  ShownHook() = std::move(hook);
  return previous;
}

Dialog* FindDialog(WindowId id) {
  auto it = Windows().find(id);
  return it == Windows().end() ? nullptr : it->second;
}

Dialog* ActiveModalDialog() { return ModalStack().empty() ? nullptr : ModalStack().back(); }

void SetMainDialog(Dialog* dialog) { MainDialogSlot() = dialog; }
Dialog* MainDialog() { return MainDialogSlot(); }

}  // namespace platform::ui
