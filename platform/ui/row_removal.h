#pragma once
// Rows leave the window layer's lists as they leave the platform's: the rows
// that stay keep their own selected state and no other row becomes selected.
#include <QAbstractItemView>

namespace platform::ui {

// Call before rows first to last of the view's model are removed. A
// single-selection view whose current row is among them would make a
// neighbour current and select it; the current index is dropped beforehand
// instead, leaving the selection alone. Sends no notification.
void ForgetCurrentAmong(QAbstractItemView& view, int first, int last);

}  // namespace platform::ui
