#pragma once
// Controls of input forms: edits, check boxes, list boxes and tab controls,
// built from a dialog template's rows. Changes the program makes itself send
// no notification; the user's actions do, as WM_COMMAND with a code.
#include <QListWidget>
#include <QString>
#include <QTabBar>
#include <QWidget>
#include <functional>

#include "platform/ui/dialog_template.h"

namespace platform::ui {

// List-box notification codes (WM_COMMAND high word) and its "no item".
inline constexpr unsigned LBN_SELCHANGE = 1;
inline constexpr unsigned LBN_KILLFOCUS = 5;
inline constexpr int LB_ERR = -1;

// Where a control reports the user's actions: (control id, notification code).
using ControlNotify = std::function<void(int id, unsigned code)>;

// A single-selection list box of text lines, kept in the order they were put in.
class ListBox : public QListWidget {
 public:
  ListBox(QWidget* parent, int id, bool notify, ControlNotify sink);
  int Id() const { return id_; }

  int GetCount() const { return count(); }
  // The index of the new line.
  int AddString(const QString& text);
  // Inserts before index; -1 appends. LB_ERR for an index out of range.
  int InsertString(int index, const QString& text);
  // The remaining count, LB_ERR for an index out of range. Deleting the
  // selected line leaves none selected; another selected line stays selected.
  int DeleteString(int index);
  QString GetText(int index) const;
  // The selected line, LB_ERR when none.
  int GetCurSel() const;

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int id_;
  bool notify_;
  ControlNotify sink_;
};

// A tab control: a row of tabs above a framed pane. Pages are windows of
// their own that the owner places inside it.
class TabControl : public QWidget {
 public:
  TabControl(QWidget* parent, int id);
  int Id() const { return id_; }
  // Text-only tab; the index it got.
  int InsertItem(int index, const QString& text);
  int GetItemCount() const { return tabs_->count(); }
  QString GetItemText(int index) const { return tabs_->tabText(index); }
  int GetCurSel() const { return tabs_->currentIndex(); }
  // The whole control in its own pixel coordinates, as the platform reports it.
  QRect GetClientRect() const { return rect(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int id_;
  QTabBar* tabs_;
};

// The widget for a template row of kind Edit, CheckBox, ListBox, TabControl,
// RadioButton or GroupBox;
// null for other kinds. Check boxes report BN_CLICKED, list boxes with kNotify
// LBN_SELCHANGE and LBN_KILLFOCUS.
QWidget* CreateFormControl(const ControlTemplate& control, QWidget* parent, ControlNotify sink);

}  // namespace platform::ui
