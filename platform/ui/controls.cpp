#include "platform/ui/controls.h"

#include <QHeaderView>
#include <QPainter>
#include <QSignalBlocker>

#include "platform/ui/messages.h"
#include "platform/ui/row_removal.h"

namespace platform::ui {

StaticText::StaticText(QWidget* parent, int id, std::function<CtlColor(int)> colours)
    : QLabel(parent), id_(id), colours_(std::move(colours)) {
  setTextFormat(Qt::PlainText);  // texts from outside (names a peer sent) must never render as markup
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void StaticText::paintEvent(QPaintEvent* event) {
  if (!pixmap().isNull() || !colours_) {
    QLabel::paintEvent(event);
    return;
  }
  const CtlColor colour = colours_(id_);
  QPainter painter(this);
  if (!colour.nullBrush) painter.fillRect(rect(), palette().color(QPalette::Window));
  painter.setFont(font());
  const QRect textRect = painter.boundingRect(contentsRect(), static_cast<int>(alignment()) | Qt::TextWordWrap, text());
  // The text background covers the text's own cells only, as with the platform's opaque text mode.
  painter.fillRect(textRect, colour.textBackground.isValid() ? colour.textBackground : palette().color(QPalette::Window));
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextWordWrap, text());
}

void ApplyReportViewLook(QTableView* view) {
  view->verticalHeader()->hide();
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  view->horizontalHeader()->setHighlightSections(false);
  view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  view->horizontalHeader()->setStretchLastSection(false);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectItems);
  view->setShowGrid(false);
  view->setWordWrap(false);
  view->setTabKeyNavigation(false);
}

ListView::ListView(QWidget* parent, int id) : QTableWidget(parent), id_(id) {
  setColumnCount(0);
  setRowCount(0);
  ApplyReportViewLook(this);
  QObject::connect(this, &QTableWidget::itemSelectionChanged, this, [this] {
    if (notify_) notify_(id_, LVN_ITEMCHANGED);
  });
}

void ListView::SetExtendedStyle(unsigned style) {
  exStyle_ = style;
  setShowGrid((style & LVS_EX_GRIDLINES) != 0);
  setSelectionBehavior((style & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

int ListView::InsertColumn(int column, const QString& heading, unsigned format, int width) {
  const QSignalBlocker quiet(this);
  column = std::clamp(column, 0, columnCount());
  insertColumn(column);
  auto* header = new QTableWidgetItem(heading);
  const Qt::Alignment align = (format & LVCFMT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
  header->setTextAlignment(align | Qt::AlignVCenter);
  setHorizontalHeaderItem(column, header);
  setColumnWidth(column, width);
  formats_.insert(formats_.begin() + column, format);
  return column;
}

unsigned ListView::ColumnFormat(int column) const {
  if (column < 0 || column >= static_cast<int>(formats_.size())) return LVCFMT_LEFT;
  return formats_[static_cast<std::size_t>(column)];
}

int ListView::InsertItem(int row, const QString& text) {
  const QSignalBlocker quiet(this);
  row = std::clamp(row, 0, rowCount());
  insertRow(row);
  for (int c = 0; c < columnCount(); ++c) {
    auto* item = new QTableWidgetItem(c == 0 ? text : QString());
    item->setTextAlignment(((ColumnFormat(c) & LVCFMT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    setItem(row, c, item);
  }
  return row;
}

bool ListView::SetItemText(int row, int column, const QString& text) {
  QTableWidgetItem* cell = item(row, column);
  if (cell == nullptr) return false;
  const QSignalBlocker quiet(this);
  cell->setText(text);
  return true;
}

QString ListView::GetItemText(int row, int column) const {
  const QTableWidgetItem* cell = item(row, column);
  return cell == nullptr ? QString() : cell->text();
}

unsigned ListView::GetItemState(int row, unsigned mask) const {
  if (row < 0 || row >= rowCount()) return 0;
  unsigned state = 0;
  if (selectionModel() != nullptr && selectionModel()->isRowSelected(row, QModelIndex())) state |= LVIS_SELECTED;
  if (state == 0 && item(row, 0) != nullptr && item(row, 0)->isSelected()) state |= LVIS_SELECTED;
  return state & mask;
}

bool ListView::DeleteItem(int row) {
  if (row < 0 || row >= rowCount()) return false;
  const QSignalBlocker quiet(this);
  ForgetCurrentAmong(*this, row, row);
  removeRow(row);
  return true;
}

bool ListView::DeleteAllItems() {
  const QSignalBlocker quiet(this);
  setRowCount(0);
  return true;
}

}  // namespace platform::ui
