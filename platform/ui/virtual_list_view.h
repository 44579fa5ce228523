#pragma once
// A report-view list whose texts live with its owner, not in the control (a
// list with owner data): the owner sets the row count and answers for the
// texts of the rows on screen, so a list of a million rows costs no more than
// the owner's own records. The read and column operations match ListView.
#include <QTableView>

#include <functional>
#include <vector>

namespace platform::ui {

class VirtualListView : public QTableView {
 public:
  using TextSource = std::function<QString(int row, int column)>;

  VirtualListView(QWidget* parent, int id);
  int Id() const { return id_; }

  void SetTextSource(TextSource source);
  void SetExtendedStyle(unsigned style);
  unsigned ExtendedStyle() const { return exStyle_; }
  int InsertColumn(int column, const QString& heading, unsigned format, int width);
  // The number of rows; their texts come from the source when shown.
  void SetItemCount(int count);
  int GetItemCount() const;
  QString GetItemText(int row, int column) const;
  // The rows' texts changed in the owner: show them anew.
  void RedrawItems(int first, int last);

 private:
  class Model;
  int id_;
  unsigned exStyle_ = 0;
  Model* model_;
};

}  // namespace platform::ui
