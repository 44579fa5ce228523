#include "platform/ui/button_controls.h"

#include <QSignalBlocker>

namespace platform::ui {

AutoCheckBox::AutoCheckBox(QWidget* parent, int id, const QString& text, std::function<void(unsigned)> command)
    : QCheckBox(text, parent), id_(id) {
  connect(this, &QCheckBox::clicked, this, [this, command] {
    if (command) command(static_cast<unsigned>(id_));
  });
}

void AutoCheckBox::SetCheck(int state) {
  const QSignalBlocker quiet(this);
  setChecked(state == BST_CHECKED);
}

GroupBox::GroupBox(QWidget* parent, int id, const QString& title) : QGroupBox(title, parent), id_(id) {
  // Only a frame: the controls inside belong to the dialog, not to the box.
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

}  // namespace platform::ui
