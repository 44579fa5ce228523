#include "platform/ui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include "platform/ui/dialog.h"
#include "platform/ui/placement.h"

namespace platform::ui {
namespace {

// A box centred over a window, once its own size is known (as it is shown, so
// before it appears): over its owner's window also while that one is not
// shown yet, and kept on the screen.
class CentredMessageBox : public QMessageBox {
 public:
  explicit CentredMessageBox(QWidget* owner) : QMessageBox(owner), over_(owner ? owner->window() : nullptr) {}

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    if (over_) move(CentredOver(over_, size()));
  }

 private:
  QPointer<QWidget> over_;
};

}  // namespace

int ShowQtMessageBox(const MessageBoxRequest& request) {
  if (QApplication::instance() == nullptr || QThread::currentThread() != QApplication::instance()->thread()) {
    // Boxes belong to the window thread; one asked for elsewhere gets its first answer.
    return FirstButton(request.type);
  }
  QWidget* owner = nullptr;
  if (request.owner != kNoWindow) {
    if (Dialog* dialog = FindDialog(request.owner)) owner = dialog->Window();
  } else if (Dialog* active = ActiveModalDialog()) {
    owner = active->Window();
  } else if (MainDialog() != nullptr) {
    owner = MainDialog()->Window();
  }

  CentredMessageBox box(owner);
  box.setWindowTitle(request.title);
  box.setText(request.text);
  box.setTextFormat(Qt::PlainText);
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (request.type & 0xF0) {
    case MB_ICONERROR: icon = QMessageBox::Critical; break;
    case MB_ICONQUESTION: icon = QMessageBox::Question; break;
    case MB_ICONWARNING: icon = QMessageBox::Warning; break;
    case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
    default:
      // The framework's boxes show the exclamation mark when no icon is named.
      if (request.owner == kNoWindow) icon = QMessageBox::Warning;
  }
  box.setIcon(icon);
  switch (request.type & 0xF) {
    case MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      break;
    case MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
  }
  switch (box.exec()) {
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default: return IDOK;
  }
}

void InstallMessageBoxes() { SetMessageBoxHandler(&ShowQtMessageBox); }

}  // namespace platform::ui
