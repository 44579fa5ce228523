#pragma once
// Controls of the window layer: static texts that take their colours from
// their dialog, and a list view in report mode.
#include <QColor>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QTableWidget>
#include <functional>
#include <vector>

namespace platform::ui {

// What a dialog answers when a static control asks for its colours: a text
// background colour, and whether the control paints no background of its own
// (the platform's null brush), so the dialog's picture shows through.
struct CtlColor {
  QColor textBackground;  // invalid: the dialog's own colour
  bool nullBrush = false;
};

class StaticText : public QLabel {
 public:
  StaticText(QWidget* parent, int id, std::function<CtlColor(int id)> colours);
  int Id() const { return id_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int id_;
  std::function<CtlColor(int)> colours_;
};

inline constexpr unsigned LVCFMT_LEFT = 0x0000;
inline constexpr unsigned LVCFMT_RIGHT = 0x0001;
inline constexpr unsigned LVS_EX_GRIDLINES = 0x0001;
inline constexpr unsigned LVS_EX_FULLROWSELECT = 0x0020;
inline constexpr unsigned LVIS_SELECTED = 0x0002;

// The look both list views share: no row header, left-aligned column
// headings, single-cell selection, no grid or editing, rows one line high.
void ApplyReportViewLook(QTableView* view);

// A list view in report mode over a table widget. Changes made through these
// operations send no notification; the user's selection changes do. Deleting
// rows selects no other row; the rows that stay keep their selected state.
class ListView : public QTableWidget {
 public:
  ListView(QWidget* parent, int id);
  int Id() const { return id_; }
  void SetNotifySink(std::function<void(int id, unsigned code)> sink) { notify_ = std::move(sink); }

  void SetExtendedStyle(unsigned style);
  unsigned ExtendedStyle() const { return exStyle_; }
  int InsertColumn(int column, const QString& heading, unsigned format, int width);
  int InsertItem(int row, const QString& text);
  bool SetItemText(int row, int column, const QString& text);
  QString GetItemText(int row, int column) const;
  int GetItemCount() const { return rowCount(); }
  unsigned GetItemState(int row, unsigned mask) const;
  bool DeleteItem(int row);
  bool DeleteAllItems();
  unsigned ColumnFormat(int column) const;

 private:
  int id_;
  unsigned exStyle_ = 0;
  std::vector<unsigned> formats_;
  std::function<void(int, unsigned)> notify_;
};

}  // namespace platform::ui
