#pragma once
// Buttons a window makes at run time: an automatic check box that reports
// its clicks as BN_CLICKED commands, and a group box frame with a title.
#include <QCheckBox>
#include <QGroupBox>
#include <functional>

namespace platform::ui {

inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;

class AutoCheckBox : public QCheckBox {
 public:
  // `command` receives the control id on every click by the user.
  AutoCheckBox(QWidget* parent, int id, const QString& text, std::function<void(unsigned id)> command);
  int Id() const { return id_; }
  int GetCheck() const { return isChecked() ? BST_CHECKED : BST_UNCHECKED; }
  // Silent: no command is sent.
  void SetCheck(int state);

 private:
  int id_;
};

class GroupBox : public QGroupBox {
 public:
  GroupBox(QWidget* parent, int id, const QString& title);
  int Id() const { return id_; }

 private:
  int id_;
};

}  // namespace platform::ui
