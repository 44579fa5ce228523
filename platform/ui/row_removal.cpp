#include "platform/ui/row_removal.h"

#include <QItemSelectionModel>
#include <QSignalBlocker>

namespace platform::ui {

void ForgetCurrentAmong(QAbstractItemView& view, int first, int last) {
  QItemSelectionModel* selection = view.selectionModel();
  if (selection == nullptr) return;
  const QModelIndex current = selection->currentIndex();
  if (!current.isValid() || current.parent() != view.rootIndex() || current.row() < first || current.row() > last)
    return;
  const QSignalBlocker quiet(&view);
  selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

}  // namespace platform::ui
