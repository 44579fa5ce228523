#include "platform/ui/message_boxes.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QThread>

#include <algorithm>

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
    Place();
  }
  // Qt sizes the box again as its layout settles after it is shown.
  bool event(QEvent* event) override {
    const bool handled = QMessageBox::event(event);
    if (event->type() == QEvent::LayoutRequest && isVisible()) Place();
    return handled;
  }

 private:
  void Place() {
    WidenForUnbrokenRuns();
    if (over_) move(CentredOver(over_, size()));
  }

  // Qt wraps a long text at blanks to a width of its own choosing, and a run
  // without one (a path) that is wider is cut off. The box is widened to the
  // widest run, as far as Qt lets a box grow on its screen (the screen's
  // width up to 1024 pixels, else 480 less than it and at most 1000).
  void WidenForUnbrokenRuns() {
    auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label == nullptr || screen() == nullptr || layout() == nullptr) return;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    int widest = 0;
    for (const QString& run : text().split(blanks, Qt::SkipEmptyParts))
      widest = std::max(widest, label->fontMetrics().horizontalAdvance(run));
    const int missing = widest - label->contentsRect().width();
    if (missing <= 0) return;
    const int screenWidth = screen()->availableGeometry().width();
    const int limit = screenWidth <= 1024 ? screenWidth : std::min(screenWidth - 480, 1000);
    const int w = std::min(width() + missing, std::max(limit, width()));
    const int h = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(w) : height();
    setFixedSize(w, std::max(h, height()));
  }

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
