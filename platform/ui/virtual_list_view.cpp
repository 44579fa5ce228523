#include "platform/ui/virtual_list_view.h"

#include <QAbstractTableModel>
#include <QHeaderView>

#include <algorithm>

#include "platform/ui/controls.h"

namespace platform::ui {

class VirtualListView::Model : public QAbstractTableModel {
 public:
  explicit Model(QObject* parent) : QAbstractTableModel(parent) {}

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(headings_.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return Text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Align(index.column()));
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(headings_.size())) return {};
    if (role == Qt::DisplayRole) return headings_[static_cast<std::size_t>(section)];
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Align(section));
    return {};
  }

  QString Text(int row, int column) const {
    if (!source_ || row < 0 || row >= rows_ || column < 0 || column >= static_cast<int>(headings_.size())) return {};
    return source_(row, column);
  }
  Qt::Alignment Align(int column) const {
    const bool right = column >= 0 && column < static_cast<int>(formats_.size()) &&
                       (formats_[static_cast<std::size_t>(column)] & LVCFMT_RIGHT) != 0;
    return (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
  }
  void InsertColumn(int column, const QString& heading, unsigned format) {
    beginInsertColumns(QModelIndex(), column, column);
    headings_.insert(headings_.begin() + column, heading);
    formats_.insert(formats_.begin() + column, format);
    endInsertColumns();
  }
  void SetRows(int rows) {
    beginResetModel();
    rows_ = std::max(rows, 0);
    endResetModel();
  }
  void Changed(int first, int last) {
    if (rows_ == 0 || headings_.empty()) return;
    first = std::clamp(first, 0, rows_ - 1);
    last = std::clamp(last, first, rows_ - 1);
    emit dataChanged(index(first, 0), index(last, static_cast<int>(headings_.size()) - 1));
  }

  TextSource source_;

 private:
  int rows_ = 0;
  std::vector<QString> headings_;
  std::vector<unsigned> formats_;
};

VirtualListView::VirtualListView(QWidget* parent, int id) : QTableView(parent), id_(id), model_(new Model(this)) {
  setModel(model_);
  ApplyReportViewLook(this);
  // Every row has the font's height: the view never measures a row's text.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
}

void VirtualListView::SetTextSource(TextSource source) {
  model_->source_ = std::move(source);
  viewport()->update();
}

void VirtualListView::SetExtendedStyle(unsigned style) {
  exStyle_ = style;
  setShowGrid((style & LVS_EX_GRIDLINES) != 0);
  setSelectionBehavior((style & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

int VirtualListView::InsertColumn(int column, const QString& heading, unsigned format, int width) {
  column = std::clamp(column, 0, model_->columnCount(QModelIndex()));
  model_->InsertColumn(column, heading, format);
  setColumnWidth(column, width);
  return column;
}

void VirtualListView::SetItemCount(int count) { model_->SetRows(count); }

int VirtualListView::GetItemCount() const { return model_->rowCount(QModelIndex()); }

QString VirtualListView::GetItemText(int row, int column) const { return model_->Text(row, column); }

void VirtualListView::RedrawItems(int first, int last) { model_->Changed(first, last); }

}  // namespace platform::ui
